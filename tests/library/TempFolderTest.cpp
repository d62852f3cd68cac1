// The private temporary folder and what is extracted into it: another local user must not be
// able to choose where the player writes, and two archive members must never share a file.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "ombrix/media/EntryResolver.h"
#include "ombrix/media/LhaArchive.h"
#include "ombrix/settings/Home.h"
#include "ombrix/settings/PrivateFolder.h"
#include "support/Files.h"

using namespace ombrix;

namespace {

mode_t modeOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st.st_mode;
}

QString ownFolderName() {
    return QStringLiteral("ombrix-%1").arg(qulonglong(::getuid()));
}

const QStringList kFlat{".zip", ".lzh", ".dmp", ".m3u", ".s3z", ".itz",
                        ".mdz", ".xmz", ".mp3", ".mp2", ".wav", ".mod"};

}  // namespace

TEST(TempFolder, PrivateFolderInRuntimeOrTemporaryFolder) {
    QTemporaryDir base, runtime;
    QProcessEnvironment env;
    env.insert("TMPDIR", base.path());
    const QString fallback = base.filePath(ownFolderName());
    EXPECT_EQ(Home::tempFolder(env), fallback);
    EXPECT_TRUE(S_ISDIR(modeOf(fallback)));
    EXPECT_EQ(modeOf(fallback) & 0777, 0700u);

    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0700), 0);
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    EXPECT_EQ(Home::tempFolder(env), runtime.filePath("ombrix"));
    EXPECT_EQ(modeOf(runtime.filePath("ombrix")) & 0777, 0700u);
    // A runtime folder others can enter is not trusted.
    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0755), 0);
    EXPECT_EQ(Home::tempFolder(env), fallback);
}

TEST(TempFolder, FolderPlantedByAnotherUserIsRefused) {
    QTemporaryDir base;
    QProcessEnvironment env;
    env.insert("TMPDIR", base.path());
    const QString folder = base.filePath(ownFolderName());
    const QByteArray name = QFile::encodeName(folder);

    // A link to a folder the attacker chose.
    const QString target = base.filePath("elsewhere");
    ASSERT_TRUE(QDir().mkpath(target));
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), name.constData()), 0);
    try {
        Home::tempFolder(env);
        ADD_FAILURE() << "a link was accepted";
    } catch (const PrivateFolderError& e) {
        EXPECT_NE(std::string(e.what()).find(name.toStdString()), std::string::npos) << e.what();
    }
    ASSERT_EQ(::unlink(name.constData()), 0);

    // A folder anyone may write into, and a plain file.
    ASSERT_EQ(::mkdir(name.constData(), 0777), 0);
    ASSERT_EQ(::chmod(name.constData(), 0777), 0);
    EXPECT_THROW(Home::tempFolder(env), PrivateFolderError);
    ASSERT_EQ(::rmdir(name.constData()), 0);
    test::writeFile(folder, "x");
    EXPECT_THROW(Home::tempFolder(env), PrivateFolderError);
    ASSERT_EQ(::unlink(name.constData()), 0);

    // A folder of another owner (only a privileged test run can make one).
    ASSERT_EQ(::mkdir(name.constData(), 0700), 0);
    if (::chown(name.constData(), 4242, 4242) == 0)
        EXPECT_NE(PrivateFolder::problem(folder), QString());
    else
        EXPECT_EQ(PrivateFolder::problem(folder), QString());
}

TEST(TempFolder, ExtractsAreKeyedByArchiveAndMember) {
    QTemporaryDir dir;
    const MediaIdentifier media(kFlat);
    TempRegister temps;
    EntryResolver::Config c;
    c.tempFolder = dir.filePath("temp");
    EntryResolver r(c, media, temps);

    const QString a = dir.filePath("a.zip"), b = dir.filePath("b.zip");
    test::zipArchive(a, {{"cd1/01.mp3", "disc one"}, {"cd2/01.mp3", "disc two"}});
    test::zipArchive(b, {{"01.mp3", "other archive"}});
    const QString a0 = r.resolve(a), a1 = r.resolve(a + "1"), b0 = r.resolve(b);
    EXPECT_EQ(test::readFile(a0), "disc one");
    EXPECT_EQ(test::readFile(a1), "disc two");
    EXPECT_EQ(test::readFile(b0), "other archive");
    for (const QString& p : {a0, a1, b0}) EXPECT_EQ(QFileInfo(p).fileName(), "01.mp3");
    EXPECT_EQ(modeOf(QFileInfo(a0).path()) & 0777, 0700u);

    // The archive is replaced by another one: its old extract is not played.
    test::zipArchive(a, {{"cd1/01.mp3", "disc one, remastered"}});
    EXPECT_EQ(test::readFile(r.resolve(a)), "disc one, remastered");

    // A link planted at an extract is replaced, never written through.
    ASSERT_TRUE(QFile::remove(b0));
    const QString victim = dir.filePath("victim.mp3");
    test::writeFile(victim, "precious");
    ASSERT_TRUE(QFile::link(victim, b0));
    EXPECT_EQ(r.resolve(b), b0);
    EXPECT_EQ(test::readFile(victim), "precious");
    EXPECT_FALSE(QFileInfo(b0).isSymLink());
    EXPECT_EQ(test::readFile(b0), "other archive");
    EXPECT_EQ(modeOf(b0) & 0777, 0600u);
}

TEST(TempFolder, LhaExtractStopsAtTheDeclaredSize) {
    QTemporaryDir dir;
    QByteArray bytes = test::lhaArchive({{"song.mp3", "0123456789"}});
    // Declare 4 bytes of original size; the stored data still holds 10.
    const int headerLength = quint8(bytes[0]);
    bytes.replace(2 + 9, 4, test::le32(4));
    quint8 sum = 0;
    for (int i = 2; i < 2 + headerLength; ++i) sum = quint8(sum + quint8(bytes[i]));
    bytes[1] = char(sum);
    const QString path = dir.filePath("a.lzh");
    test::writeFile(path, bytes);
    const LhaArchive lha(path);
    ASSERT_EQ(lha.members().size(), 1);
    EXPECT_EQ(lha.members()[0].size, 4);
    lha.extract(0, dir.filePath("out.mp3"));
    EXPECT_EQ(test::readFile(dir.filePath("out.mp3")), "0123");
}
