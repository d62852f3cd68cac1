#include "ombrix/media/MediaIdentifier.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "TestSupport.h"
#include "ombrix/media/FileInformation.h"

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
    for (const char* n : {"a.mp3", "b.MP3", "c.Mp2", "d.rmp", "e.mid", "f.avi", "g.mod", "h.xm",
                          "i.txt", "j", "k.s3m"})
        test::writeFile(dir.filePath(n), "data");
    EXPECT_EQ(MediaIdentifier::mediaKind(dir.filePath("a.mp3")), kKindMpeg);
    EXPECT_EQ(MediaIdentifier::mediaKind(dir.filePath("b.MP3")), kKindMpeg);
    EXPECT_EQ(MediaIdentifier::mediaKind(dir.filePath("c.Mp2")), kKindMpeg);
    EXPECT_EQ(MediaIdentifier::mediaKind(dir.filePath("d.rmp")), kKindMpeg);
    EXPECT_EQ(MediaIdentifier::mediaKind(dir.filePath("e.mid")), kKindMci);
    EXPECT_EQ(MediaIdentifier::mediaKind(dir.filePath("f.avi")), kKindMci);
    EXPECT_EQ(MediaIdentifier::mediaKind(dir.filePath("g.mod")), kKindModule);
    EXPECT_EQ(MediaIdentifier::mediaKind(dir.filePath("k.s3m")), kKindModule);
    EXPECT_EQ(MediaIdentifier::mediaKind(dir.filePath("i.txt")), kKindUnknown);
    EXPECT_EQ(MediaIdentifier::mediaKind(dir.filePath("j")), kKindUnknown);
    EXPECT_EQ(MediaIdentifier::mediaKind(dir.filePath("missing.mp3")), kKindNotFound);
    EXPECT_EQ(MediaIdentifier::mediaKind(dir.path()), kKindNotFound);  // a folder is no song
    // CD tracks are not files on disk.
    EXPECT_EQ(MediaIdentifier::mediaKind("/dev/sr0/track07.cda"), kKindMci);
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

TEST(MediaIdentifier, HeaderAndId3Offsets) {
    QTemporaryDir dir;
    QByteArray h(600, '\x22');
    h[0] = 0;
    h[63] = 0;
    h[128] = char(0xFF);
    test::writeFile(dir.filePath("h.mp3"), h);
    EXPECT_EQ(MediaIdentifier::startOffset(dir.filePath("h.mp3")), 128);
    QByteArray id3("ID3\x03\x00\x00\x00\x00\x00\x20", 10);
    id3 += QByteArray(32, char(0xFF));
    id3 += QByteArray(400, '\x11');
    test::writeFile(dir.filePath("t.mp3"), id3);
    EXPECT_EQ(MediaIdentifier::startOffset(dir.filePath("t.mp3")), 42);
}

TEST(FileInformation, MpegMciAndTextFile) {
    QTemporaryDir dir;
    const QString song = dir.filePath("Song.mp3");
    test::writeFile(song, QByteArray(1000, '\0'));
    FileInformation info = FileInformation::build(song, kKindMpeg, "", "", "");
    EXPECT_EQ(info.list, QStringList({"Song.mp3", "mpeg audio", "layer 3"}));
    EXPECT_EQ(info.line1, "Song");
    EXPECT_EQ(info.line2, "mpeg audio");
    EXPECT_TRUE(info.line3IsTime);
    info = FileInformation::build(song, kKindMpeg, "T", "A", "B");
    EXPECT_EQ(info.line1, "T");
    EXPECT_EQ(info.line2, "A");
    EXPECT_EQ(info.line3, "B");
    EXPECT_FALSE(info.line3IsTime);

    const QString wav = dir.filePath("w.wav");
    test::writeFile(wav, test::pcmWave(1));
    info = FileInformation::build(wav, kKindMci, "", "", "");
    EXPECT_EQ(info.line2, "wave");
    EXPECT_EQ(info.list, QStringList({"w.wav", "microsoft wave",
                                      QString::number(QFileInfo(wav).size()) + " bytes"}));
    info = FileInformation::build("/dev/sr0/track02.cda", kKindMci, "", "", "");
    EXPECT_EQ(info.line2, "cd audio");
    EXPECT_EQ(info.list, QStringList({"track02.cda", "cd audio", ""}));

    test::writeFile(dir.filePath("Song.txt"), "first line\r\nsecond\r\n");
    info = FileInformation::build(song, kKindMpeg, "", "", "");
    EXPECT_EQ(info.list, QStringList({"first line", "second"}));
}
