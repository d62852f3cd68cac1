#include "ombrix/media/MediaIdentifier.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "ombrix/media/FileInformation.h"
#include "support/Files.h"

using namespace ombrix;
using test::le16;
using test::le32;

namespace {

QByteArray mpegWave() {
    QByteArray b("RIFF");
    b += le32(0);
    b += "WAVEfmt ";
    b += le32(30);
    b += le16(0x55);  // MPEG Layer 3
    b += QByteArray(28, '\0');
    b += "fact";
    b += le32(5);  // odd: padded
    b += QByteArray(6, '\0');
    b += "data";
    b += le32(4);
    b += "\xff\xfb\x90\x00";
    return b;
}

}  // namespace

TEST(MediaIdentifier, KindsByExtension) {
    QTemporaryDir dir;
    const QList<QPair<const char*, int>> kinds{{"b.MP3", kKindMpeg},    {"d.rmp", kKindMpeg},
                                               {"e.mid", kKindMci},     {"g.mod", kKindModule},
                                               {"i.txt", kKindUnknown}, {"j", kKindUnknown}};
    for (const auto& [name, kind] : kinds) {
        test::writeFile(dir.filePath(name), "data");
        EXPECT_EQ(MediaIdentifier::mediaKind(dir.filePath(name)), kind) << name;
    }
    EXPECT_EQ(MediaIdentifier::mediaKind(dir.filePath("missing.mp3")), kKindNotFound);
    EXPECT_EQ(MediaIdentifier::mediaKind(dir.path()), kKindNotFound) << "a folder is no song";
    EXPECT_EQ(MediaIdentifier::mediaKind("/dev/sr0/track07.cda"), kKindMci) << "not on disk";
    EXPECT_EQ(MediaIdentifier::extension("/a.b/song"), "");
    EXPECT_EQ(MediaIdentifier::extension("/x/album.ZIP12"), ".zip12");
}

TEST(MediaIdentifier, WaveFilesAndOverrideCodec) {
    QTemporaryDir dir;
    const QString notRiff = dir.filePath("fake.wav");
    test::writeFile(notRiff, "not a riff file at all");
    EXPECT_EQ(MediaIdentifier::mediaKind(notRiff), kKindUnknown);

    const QString pcm = dir.filePath("pcm.WAV");
    test::writeFile(pcm, test::pcmWave(10));
    EXPECT_EQ(MediaIdentifier::mediaKind(pcm), kKindMci);
    EXPECT_EQ(MediaIdentifier::refineKind(pcm, kKindMci, true), kKindMci);

    const QString mp3wav = dir.filePath("mpeg.wav");
    test::writeFile(mp3wav, mpegWave());
    const int kind = MediaIdentifier::mediaKind(mp3wav);
    EXPECT_EQ(kind, kKindMci);
    EXPECT_EQ(MediaIdentifier::refineKind(mp3wav, kind, true), kKindMpeg);
    EXPECT_EQ(MediaIdentifier::refineKind(mp3wav, kind, false), kKindMci);
    // "data" lies after a "fmt " chunk of 30 bytes and an odd "fact" chunk with its pad byte.
    EXPECT_EQ(MediaIdentifier::startOffset(mp3wav), 12 + 38 + 14 + 8);

    QByteArray noData = mpegWave();
    noData.truncate(noData.indexOf("data"));
    test::writeFile(dir.filePath("nodata.wav"), noData);
    EXPECT_EQ(MediaIdentifier::startOffset(dir.filePath("nodata.wav")), -1);
}

TEST(FileInformation, ATextFileBesideTheSongReplacesItsInformation) {
    QTemporaryDir dir;
    const QString song = dir.filePath("Song.mp3");
    test::writeFile(song, QByteArray(1000, '\0'));
    FileInformation info = FileInformation::build(song, kKindMpeg, "", "", "");
    EXPECT_EQ(info.list, QStringList({"Song.mp3", "mpeg audio", "layer 3"}));
    EXPECT_EQ(info.line1, "Song") << "no tag: the file name";
    EXPECT_TRUE(info.line3IsTime);
    info = FileInformation::build(song, kKindMpeg, "T", "A", "B");
    EXPECT_EQ(info.line1 + info.line2 + info.line3, "TAB");
    EXPECT_FALSE(info.line3IsTime);

    test::writeFile(dir.filePath("Song.txt"), "first line\r\nsecond\r\n");
    info = FileInformation::build(song, kKindMpeg, "", "", "");
    EXPECT_EQ(info.list, QStringList({"first line", "second"}));
}
