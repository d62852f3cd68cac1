// File associations against temporary XDG folders: what each media type's flags write into
// the user's mimeapps.list and desktop entry, and the files that must be left alone.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "ombrix/desktop/FileAssociations.h"
#include "ombrix/desktop/MimeAppsList.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

class FileAssociationsTest : public ::testing::Test {
protected:
    QString apps() const { return dir.filePath("config/mimeapps.list"); }
    QString entry() const { return dir.filePath("data/applications/ombrix.desktop"); }
    FileAssociations associations() const {
        return FileAssociations(dir.filePath("config"), dir.filePath("data"), "ombrix");
    }
    MimeAppsList written() const { return MimeAppsList::parse(readFile(apps())); }

    QTemporaryDir dir;
    // Someone else's settings, with a comment, CR LF and a group of their own.
    const QByteArray theirs =
        "# mine\r\n[Default Applications]\r\naudio/mpeg=other.desktop;\r\n\r\n"
        "[Removed Associations]\r\ntext/plain=ombrix.desktop;\r\n";
};

TEST_F(FileAssociationsTest, FlagsZeroTouchNothing) {
    writeFile(apps(), theirs);
    associations().apply({{"*.mp3;*.mp2;", 0}, {"*.wav;", 0}}, false);
    EXPECT_EQ(readFile(apps()), theirs);
    EXPECT_FALSE(QFile::exists(entry()));
}

TEST_F(FileAssociationsTest, AnotherOwnerWithAddToPlaylistGainsOnlyThatAction) {
    writeFile(apps(), theirs);
    associations().apply({{"*.mp3;", FileAssociations::kAddToPlaylist}}, false);
    const QByteArray now = readFile(apps());
    EXPECT_TRUE(now.startsWith(theirs)) << "their lines keep their bytes:\n" << now.toStdString();
    const MimeAppsList list = written();
    EXPECT_EQ(list.list("Default Applications", "audio/mpeg"), QStringList{"other.desktop"});
    EXPECT_TRUE(list.list("Added Associations", "audio/mpeg").contains("ombrix.desktop"));
    const MimeAppsList desktop = MimeAppsList::parse(readFile(entry()));
    EXPECT_EQ(desktop.value("Desktop Entry", "Actions"), "AddToPlaylist;");
    EXPECT_EQ(desktop.value("Desktop Action AddToPlaylist", "Name"), "Add to Playlist");
    EXPECT_EQ(desktop.value("Desktop Action AddToPlaylist", "Exec"), "ombrix @@add %f");
    EXPECT_FALSE(desktop.contains("Desktop Action Play", "Exec"));
    EXPECT_TRUE(desktop.list("Desktop Entry", "MimeType").contains("audio/mpeg"));

    // Applying the same again writes nothing new.
    associations().apply({{"*.mp3;", FileAssociations::kAddToPlaylist}}, false);
    EXPECT_EQ(readFile(apps()), now);
}

TEST_F(FileAssociationsTest, AFilterOfTwoExtensionsAssociatesBoth) {
    EXPECT_EQ(FileAssociations::extensions("*.mp3;*.mp2;"), (QStringList{"mp3", "mp2"}));
    const QStringList mp2 = FileAssociations::mimeTypes("mp2");
    ASSERT_FALSE(mp2.isEmpty());
    writeFile(apps(), theirs);
    associations().apply({{"*.mp3;*.mp2;", FileAssociations::kOpen | FileAssociations::kPlay |
                                               FileAssociations::kEditTag}},
                         false);
    const MimeAppsList list = written();
    EXPECT_EQ(list.list("Default Applications", "audio/mpeg"),
              (QStringList{"ombrix.desktop", "other.desktop"}))
        << "open makes the player the default, ahead of the other";
    for (const QString& type : mp2)
        EXPECT_EQ(list.list("Default Applications", type).value(0), "ombrix.desktop")
            << type.toStdString();
    const MimeAppsList desktop = MimeAppsList::parse(readFile(entry()));
    EXPECT_EQ(desktop.value("Desktop Entry", "Actions"), "Play;EditTag;");
    EXPECT_EQ(desktop.value("Desktop Action EditTag", "Exec"), "ombrix @@edit %f");
    EXPECT_EQ(desktop.value("Desktop Action Play", "Exec"), "ombrix %f");

    const QString validate = QStandardPaths::findExecutable("desktop-file-validate");
    if (validate.isEmpty()) GTEST_SKIP() << "desktop-file-validate is not installed";
    QProcess p;
    p.start(validate, {entry()});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().toStdString();
}

TEST_F(FileAssociationsTest, TheDefaultCdPlayerTakesTheCdTypesAndTheDesktopAgrees) {
    associations().apply({}, true);
    const MimeAppsList list = written();
    for (const QString& type : FileAssociations::kCdTypes)
        EXPECT_EQ(list.list("Default Applications", type), QStringList{"ombrix.desktop"});
    const MimeAppsList desktop = MimeAppsList::parse(readFile(entry()));
    EXPECT_EQ(desktop.value("Desktop Action PlayCD", "Exec"), "ombrix @@cd");

    const QString xdgMime = QStandardPaths::findExecutable("xdg-mime");
    if (xdgMime.isEmpty()) GTEST_SKIP() << "xdg-mime is not installed";
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    env.insert("XDG_CURRENT_DESKTOP", "X-Generic");
    p.setProcessEnvironment(env);
    p.start(xdgMime, {"query", "default", "x-scheme-handler/cdda"});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.readAllStandardOutput().trimmed(), "ombrix.desktop");
}

TEST_F(FileAssociationsTest, AFileThatCannotBeTakenChangesNothing) {
    const QList<FileAssociations::MediaType> mp3 = {{"*.mp3;", FileAssociations::kOpen}};
    // Not a key file.
    const QByteArray garbage = "[Default Applications]\naudio/mpeg\n";
    writeFile(apps(), garbage);
    EXPECT_THROW(associations().apply(mp3, false), AssociationError);
    EXPECT_EQ(readFile(apps()), garbage);
    EXPECT_FALSE(QFile::exists(entry()));

    // A link is never written through.
    QFile::remove(apps());
    writeFile(dir.filePath("elsewhere.list"), theirs);
    ASSERT_TRUE(QFile::link(dir.filePath("elsewhere.list"), apps()));
    EXPECT_THROW(associations().apply(mp3, false), AssociationError);
    EXPECT_EQ(readFile(dir.filePath("elsewhere.list")), theirs);
    EXPECT_FALSE(QFile::exists(entry()));

    // Read-only.
    QFile::remove(apps());
    writeFile(apps(), theirs);
    QFile::setPermissions(apps(), QFile::ReadOwner);
    try {
        associations().apply(mp3, false);
        ADD_FAILURE() << "a read-only mimeapps.list was accepted";
    } catch (const AssociationError& e) {
        EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(apps()), theirs);
    EXPECT_FALSE(QFile::exists(entry()));
}

TEST(MimeAppsListTest, EditsOneLineAndKeepsTheRest) {
    MimeAppsList list = MimeAppsList::parse("[A]\r\nx=1;\r\n# c\r\n[B]\ny=2\n");
    list.setValue("A", "x", "3;");
    list.setValue("A", "z", "4");
    list.setValue("C", "w", "5");
    EXPECT_EQ(list.text(), "[A]\r\nx=3;\r\nz=4\n# c\r\n[B]\ny=2\n\n[C]\nw=5\n");
    EXPECT_THROW(MimeAppsList::parse("x=1\n"), KeyFileSyntaxError) << "a key outside a group";
    EXPECT_THROW(MimeAppsList::parse("[A\n"), KeyFileSyntaxError);
}

}  // namespace
}  // namespace ombrix::test
