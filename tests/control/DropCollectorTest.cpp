#include "ombrix/control/DropCollector.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "ombrix/media/MediaIdentifier.h"
#include "support/Files.h"

using namespace ombrix;

namespace {

const MediaIdentifier kMedia({".zip", ".lzh", ".dmp", ".m3u", ".s3z", ".itz", ".mdz", ".xmz",
                              ".mp3", ".mp2", ".wav"});

/// A Shell Link whose only target is a relative path (Unicode string data).
QByteArray shellLink(const QString& relative, bool truncated = false) {
    QByteArray b(0x4C, '\0');
    b[0] = 0x4C;
    const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    for (int i = 0; i < 16; ++i) b[4 + i] = static_cast<char>(clsid[i]);
    b.replace(20, 4, test::le32(0x88));  // HasRelativePath | IsUnicode
    if (truncated) return b;
    b += test::le16(static_cast<quint16>(relative.size()));
    for (const QChar c : relative) b += test::le16(c.unicode());
    return b;
}

}  // namespace

TEST(DropCollector, FolderTreeLinksAndShortcuts) {
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char* f : {"b.mp3", "a.MP3", "notes.TXT", "README", ".hidden.mp3", "z-sub/y.mp3",
                          "a-sub/c.mp3", "a-sub/deep/d.mp3", "a-sub/.secret/e.mp3"})
        test::writeFile(root + "/" + f, "x");
    test::writeFile(root + "/site.url", "[InternetShortcut]\r\nURL=http://h/s.mp3\r\n");
    test::writeFile(root + "/good.lnk", shellLink("z-sub\\y.mp3"));
    test::writeFile(root + "/gone.lnk", shellLink("missing.mp3"));
    test::writeFile(root + "/broken.lnk", shellLink({}, true));
    ASSERT_TRUE(QFile::link(root, root + "/loop"));  // a folder that holds itself
    ASSERT_TRUE(QFile::link(root + "/z-sub/y.mp3", root + "/alias.mp3"));
    ASSERT_TRUE(QFile::link(root + "/nowhere", root + "/dangling.lnk"));

    const DropResult r = DropCollector::collect({root}, kMedia);
    const QString real = QFileInfo(root).canonicalFilePath();
    EXPECT_EQ(r.files, QStringList({
                           root + "/a-sub/deep/d.mp3",  // subfolders first, all the way down
                           root + "/a-sub/c.mp3", root + "/z-sub/y.mp3", root + "/a.MP3",
                           root + "/alias.mp3",  // a link to a file keeps its own name
                           root + "/b.mp3",
                           real + "/z-sub/y.mp3",  // good.lnk
                           "http://h/s.mp3",       // site.url
                       }));
    EXPECT_EQ(r.statusTexts, QStringList({".txt is not supported", "README is not supported"}));
    EXPECT_FALSE(r.cancelled);
}

TEST(DropCollector, DroppedNamesAreTakenInOrder) {
    QTemporaryDir dir;
    const QString root = dir.path();
    test::writeFile(root + "/f/2.mp2", "x");
    test::writeFile(root + "/1.mp3", "x");
    test::writeFile(root + "/x.jpg", "x");
    test::writeFile(root + "/y.jpg", "x");
    test::writeFile(root + "/empty.url", "[other]\r\nURL=http://no\r\n");
    test::writeFile(root + "/big.url",
                    "[InternetShortcut]\r\n" + QByteArray(200000, ' ') + "\r\nURL=http://late\r\n");

    const DropResult r = DropCollector::collect(
        {root + "/1.mp3", root + "/f", root + "/x.jpg", root + "/y.jpg", root + "/empty.url",
         root + "/big.url", root + "/f/../1.mp3", root + "/missing.wav"},
        kMedia);
    // The names as dropped, cleaned; missing files fail later, when they are played.
    EXPECT_EQ(r.files, QStringList({root + "/1.mp3", root + "/f/2.mp2", root + "/1.mp3",
                                    root + "/missing.wav"}));
    EXPECT_EQ(r.statusTexts, QStringList({".jpg is not supported"}));
}

TEST(DropCollector, ProgressCanCancel) {
    QTemporaryDir dir;
    for (int i = 0; i < 600; ++i) test::writeFile(dir.filePath(QString("%1.mp3").arg(i)), "");
    QList<int> calls;
    DropResult r = DropCollector::collect({dir.path()}, kMedia, [&](int seen) {
        calls << seen;
        return true;
    });
    EXPECT_EQ(r.files.size(), 600);
    EXPECT_EQ(calls, QList<int>({256, 512}));

    r = DropCollector::collect({dir.path()}, kMedia, [](int) { return false; });
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(r.files.isEmpty());
}

// A command line or a second start names folders beside files: each folder gives what a drop of
// it gives, in its place; other names (playlists, missing files, web addresses) stay for the
// controller.
TEST(DropCollector, NamesOfACommandLine) {
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char* f : {"album/b.mp3", "album/a.mp3", "album/cd2/c.mp3", "album/cover.jpg",
                          "album/.hidden.mp3", "list.m3u"})
        test::writeFile(root + "/" + f, "x");
    const QStringList names{root + "/list.m3u", root + "/album", root + "/missing.mp3",
                            "http://h/s.mp3"};
    EXPECT_TRUE(DropCollector::namesFolder(names));
    EXPECT_FALSE(DropCollector::namesFolder({root + "/list.m3u", "http://h/"}));

    const DropResult r = DropCollector::collectNames(names, kMedia);
    EXPECT_EQ(r.files,
              QStringList({root + "/list.m3u", root + "/album/cd2/c.mp3", root + "/album/a.mp3",
                           root + "/album/b.mp3", root + "/missing.mp3", "http://h/s.mp3"}));
    EXPECT_EQ(r.statusTexts, QStringList({".jpg is not supported"}));
    EXPECT_EQ(DropCollector::collectNames({root + "/album"}, kMedia).files,
              DropCollector::collect({root + "/album"}, kMedia).files)
        << "a folder named on the command line gives what dropping it gives";

    // A cancelled walk gives nothing, as a cancelled drop does.
    for (int i = 0; i < 300; ++i) test::writeFile(root + QString("/many/%1.mp3").arg(i), "x");
    EXPECT_TRUE(
        DropCollector::collectNames({root + "/many"}, kMedia, [](int) { return false; }).cancelled);
}
