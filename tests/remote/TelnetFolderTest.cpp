// The folder behind "load" and "dir": names stay inside it, listings mark plain directories.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "ombrix/remote/TelnetFolder.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

class TelnetFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(music()));
        writeFile(music() + "/Song.mp3", "song");
        writeFile(music() + "/other.mp3", "other");
        writeFile(root.filePath("secret.mp3"), "outside");
        ASSERT_TRUE(QDir().mkpath(music() + "/sub"));
        writeFile(music() + "/sub/deep.mp3", "deep");
    }
    QString music() const { return root.filePath("music"); }
    QString canonical(const QString& p) const { return QFileInfo(p).canonicalFilePath(); }

    QTemporaryDir root;
};

TEST_F(TelnetFolderTest, FindsFilesDirectlyInsideAndLinksThatStayInside) {
    ASSERT_TRUE(QFile::link("/etc/passwd", music() + "/passwd"));
    ASSERT_TRUE(QFile::link(music() + "/sub/deep.mp3", music() + "/deep.mp3"));
    ASSERT_TRUE(QFile::link(music() + "/gone.mp3", music() + "/dangling.mp3"));
    ASSERT_TRUE(QFile::link(music(), root.filePath("linked")));
    const QString song = canonical(music() + "/Song.mp3");
    const struct {
        QString folder;
        const char* name;
        QString found;
    } cases[] = {
        {music(), "song.MP3", song},  // names differ from the file only in case
        {music() + "/", "Song.mp3", song},
        {root.filePath("linked"), "Song.mp3", song},  // the folder may be a link
        {music(), "deep.mp3", canonical(music() + "/sub/deep.mp3")},
        {music(), "passwd", ""},
        {music(), "dangling.mp3", ""},
        {music(), ".", ""},
        {music(), "", ""},
        {music(), "sub", ""},
        {music(), "sub/deep.mp3", ""},
        {root.filePath("none"), "Song.mp3", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TelnetFolder::findFile(c.folder, c.name), c.found) << c.name;
}

TEST_F(TelnetFolderTest, ListingMarksOnlyPlainDirectories) {
    ASSERT_TRUE(QDir().mkpath(music() + "/ro"));
    ASSERT_TRUE(QFile::setPermissions(music() + "/ro", QFile::ReadOwner | QFile::ExeOwner));
    ASSERT_TRUE(QDir().mkpath(music() + "/.hidden"));
    ASSERT_TRUE(QFile::link(music() + "/sub", music() + "/sublink"));

    const TelnetFolderListing l = TelnetFolder::list(music());
    ASSERT_EQ(l.status, TelnetFolderListing::Status::Ok);
    QStringList names;
    QStringList plain;
    for (const auto& e : l.entries) {
        names << e.name;
        if (e.plainDirectory) plain << e.name;
    }
    ASSERT_GE(names.size(), 2);
    EXPECT_EQ(names.mid(0, 2), (QStringList{".", ".."}));
    names.sort();
    EXPECT_EQ(names,
              (QStringList{".", "..", ".hidden", "Song.mp3", "other.mp3", "ro", "sub", "sublink"}));
    plain.sort();
    EXPECT_EQ(plain, (QStringList{".", "..", "sub"}));
    QFile::setPermissions(music() + "/ro", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    EXPECT_EQ(TelnetFolder::list(root.filePath("none")).status,
              TelnetFolderListing::Status::NotFound);
    EXPECT_EQ(TelnetFolder::list(music() + "/Song.mp3").status,
              TelnetFolderListing::Status::NotFound);
}

}  // namespace
}  // namespace ombrix::test
