#include "ombrix/library/SongTag.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <csignal>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "ombrix/probe/BufferByteSource.h"
#include "ombrix/probe/MediaProbe.h"
#include "support/Files.h"

using namespace ombrix;
using test::id3v1;
using test::le32;

TEST(SongTag, Id3v1ReadTrimmingRules) {
    QTemporaryDir dir;
    const QString f = dir.filePath("t.mp3");
    test::writeFile(
        f, QByteArray(300, '\x55') + id3v1("Abc   ", "Art \t", "Alb  ", "1999", "Com  ", 17));
    SongTag t;
    ASSERT_TRUE(t.read(f));
    EXPECT_TRUE(t.found());
    EXPECT_EQ(t.title, "Abc");
    EXPECT_EQ(t.artist, "Art");
    EXPECT_EQ(t.album, "Alb  ");  // not trimmed
    EXPECT_EQ(t.year, "1999");
    EXPECT_EQ(t.comment, "Com  ");
    EXPECT_EQ(t.genreIndex, 17);
    EXPECT_EQ(t.genreName, "Rock");
    EXPECT_TRUE(SongTag::hasTag(f));
    EXPECT_EQ(t.displayField(2), "Alb");  // display fields are trimmed
}

TEST(SongTag, Id3v1WriteAppendsThenReplaces) {
    QTemporaryDir dir;
    const QString f = dir.filePath("w.MP3");
    const QByteArray audio(1000, '\x42');
    test::writeFile(f, audio);
    SongTag t;
    t.clear(f);
    t.title = "A title that is much longer than thirty bytes";
    t.artist = "Ärtist";
    t.year = "";
    t.genreIndex = 300;  // low 8 bits
    ASSERT_TRUE(t.write(f));
    QByteArray bytes = test::readFile(f);
    ASSERT_EQ(bytes.size(), 1128);
    EXPECT_EQ(bytes.left(1000), audio);
    EXPECT_EQ(bytes.mid(1000 + 93, 4), QByteArray(4, '\0'));  // empty year: four zero bytes
    EXPECT_EQ(quint8(bytes[1127]), 300 & 0xFF);
    SongTag back;
    ASSERT_TRUE(back.read(f));
    EXPECT_EQ(back.title, "A title that is much longer th");
    EXPECT_EQ(back.artist, "Ärtist");
    EXPECT_EQ(back.year, "");

    t.title = "New";
    t.year = "1999";
    ASSERT_TRUE(t.write(f));
    bytes = test::readFile(f);
    EXPECT_EQ(bytes.size(), 1128);  // replaced, not appended
    EXPECT_EQ(bytes.mid(1000 + 93, 4), "1999");
    ASSERT_TRUE(back.read(f));
    EXPECT_EQ(back.title, "New");
    EXPECT_EQ(back.year, "1999");

    // Files of other kinds are left alone.
    const QString other = dir.filePath("x.ogg");
    test::writeFile(other, audio);
    EXPECT_FALSE(t.write(other));
    EXPECT_EQ(test::readFile(other), audio);
}

namespace {

QByteArray riffFile(bool listBeforeData, bool oddData, const QByteArray& tail = {}) {
    QByteArray body = "WAVEfmt ";
    body += le32(16);
    body += QByteArray(16, '\x01');
    if (listBeforeData) {
        body += "LIST";
        body += le32(4 + 8 + 4);
        body += "INFOINAM";
        body += le32(4);
        body += "Old";
        body += '\0';
    }
    const QByteArray pcm(oddData ? 7 : 8, '\x7f');
    body += "data";
    body += le32(quint32(pcm.size()));
    body += pcm;
    if (oddData) body += '\0';
    body += tail;
    return "RIFF" + le32(quint32(body.size() + 4)) + body;
}

}  // namespace

TEST(SongTag, RiffWriteTwiceLeavesOneList) {
    QTemporaryDir dir;
    const QString f = dir.filePath("song.wav");
    QByteArray junkTail = "LIST";
    junkTail += le32(4);
    junkTail += "INFO";
    test::writeFile(f, riffFile(true, true, junkTail));
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(f, permissions));
    SongTag t;
    ASSERT_TRUE(t.read(f));
    EXPECT_TRUE(t.isRiff);
    EXPECT_TRUE(t.found());
    EXPECT_EQ(t.title, "Old");
    t.title = "New title";
    t.artist = "Someone";
    t.copyright = "";
    ASSERT_TRUE(t.write(f));
    t.album = "Album";
    ASSERT_TRUE(t.write(f));
    const QByteArray bytes = test::readFile(f);
    EXPECT_EQ(bytes.count("LIST"), 1);
    EXPECT_EQ(bytes.count("JUNK"), 1) << "the list before the audio is skipped, not moved";
    const auto mask = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                      QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                      QFile::ExeOther;
    EXPECT_EQ(QFile::permissions(f) & mask, permissions);
    EXPECT_EQ(quint32(quint8(bytes[4]) | quint8(bytes[5]) << 8 | quint8(bytes[6]) << 16 |
                      quint8(bytes[7]) << 24),
              quint32(bytes.size() - 8));
    // The audio is where it was and still found.
    const auto data = probe::findChunk(
        probe::BufferByteSource(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                          std::size_t(bytes.size()))),
        "data");
    ASSERT_TRUE(data);
    EXPECT_EQ(bytes.mid(qsizetype(data->dataOffset), 7), QByteArray(7, '\x7f'));
    // An empty text is a sub-chunk of size 2 with two zero bytes.
    const qsizetype icop = bytes.indexOf("ICOP");
    ASSERT_GE(icop, 0);
    EXPECT_EQ(bytes.mid(icop + 4, 6), le32(2) + QByteArray(2, '\0'));
    // "New title" (9 bytes) + zero rounds up to 10.
    EXPECT_EQ(bytes.mid(bytes.indexOf("INAM", bytes.indexOf("LIST")) + 4, 4), le32(10));
    SongTag back;
    ASSERT_TRUE(back.read(f));
    EXPECT_EQ(back.title, "New title");
    EXPECT_EQ(back.artist, "Someone");
    EXPECT_EQ(back.album, "Album");
}

TEST(SongTag, RiffWriteKeepsTheFileItsLinksAttributesAndOtherChunks) {
    QTemporaryDir dir;
    const QString f = dir.filePath("song.wav");
    QByteArray cue = "cue ";
    cue += le32(4);
    cue += "CUE!";
    const QByteArray original = riffFile(true, false, cue);
    test::writeFile(f, original);
    const QString link = dir.filePath("link.wav");
    ASSERT_EQ(::link(QFile::encodeName(f).constData(), QFile::encodeName(link).constData()), 0);
    const bool haveAttribute =
        ::setxattr(QFile::encodeName(f).constData(), "user.ombrix", "kept", 4, 0) == 0;

    SongTag t;
    ASSERT_TRUE(t.read(f));
    t.title = "Through the link";
    ASSERT_TRUE(t.write(f));
    SongTag viaLink;
    ASSERT_TRUE(viaLink.read(link));
    EXPECT_EQ(viaLink.title, "Through the link") << "the file was replaced, not changed";
    EXPECT_TRUE(test::readFile(f).contains("cue \x04\0\0\0CUE!")) << "other chunks stay";
    if (haveAttribute) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(QFile::encodeName(f).constData(), "user.ombrix", value, sizeof value),
                  4);
        EXPECT_STREQ(value, "kept");
    }

    // A write that fails part way (a full disk) leaves the file as it was.
    const QByteArray before = test::readFile(f);
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = old;
    lim.rlim_cur = rlim_t(before.size() + 10);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lim), 0);
    t.comment = QString(2000, 'c');
    const bool written = t.write(f);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(test::readFile(f), before);
}

TEST(SongTag, RiffWithoutDataIsNotWritten) {
    QTemporaryDir dir;
    const QString f = dir.filePath("broken.wav");
    QByteArray b = riffFile(false, false);
    b.truncate(b.indexOf("data") + 6);  // data header cut off
    test::writeFile(f, b);
    SongTag t;
    t.clear(f);
    EXPECT_FALSE(t.write(f));
    EXPECT_EQ(test::readFile(f), b);
}

TEST(SongTag, RiffReadStaysInsideTheChunk) {
    QTemporaryDir dir;
    const QString f = dir.filePath("long.wav");
    QByteArray info = "INFO";
    info += "INAM";
    info += le32(3000);
    info += QByteArray(3000, 'x');
    info += "IART";
    info += le32(0x7FFFFFF0);  // claims far more than the chunk holds
    info += "Ghost";
    QByteArray list = "LIST" + le32(quint32(info.size())) + info;
    QByteArray after = "IENGzzzz";  // outside the LIST chunk: not a sub-chunk of it
    QByteArray body = "WAVE" + QByteArray("data") + le32(2) + "ab" + list + after;
    test::writeFile(f, "RIFF" + le32(quint32(body.size())) + body);
    SongTag t;
    ASSERT_TRUE(t.read(f));
    EXPECT_EQ(t.title.size(), SongTag::kMaxRiffValue);
    EXPECT_EQ(t.artist, "Ghost");
    EXPECT_EQ(t.engineer, "");
}

TEST(SongTag, InterruptedAppendIsCompletedNotAppendedAfter) {
    QTemporaryDir dir;
    const QString f = dir.filePath("cut.mp3");
    const QByteArray audio = QByteArray(997, '\x42') + QByteArray(3, char(0xFF));
    // An earlier write stopped after title and part of the artist.
    const QByteArray partial = id3v1("Old title", "Old artist").left(50);
    test::writeFile(f, audio + partial);
    SongTag t;
    t.clear(f);
    t.title = "New title";
    ASSERT_TRUE(t.write(f));
    const QByteArray bytes = test::readFile(f);
    ASSERT_EQ(bytes.size(), audio.size() + 128);
    EXPECT_EQ(bytes.left(audio.size()), audio);
    EXPECT_EQ(bytes.count("TAG"), 1);
    SongTag back;
    ASSERT_TRUE(back.read(f));
    EXPECT_EQ(back.title, "New title");

    // "TAG" inside audio (followed by frame bytes) is not taken for a cut tag.
    const QByteArray music = QByteArray(900, '\x11') + "TAG" + QByteArray(60, char(0xFF));
    test::writeFile(f, music);
    ASSERT_TRUE(t.write(f));
    EXPECT_EQ(test::readFile(f).left(music.size()), music);
    EXPECT_EQ(test::readFile(f).size(), music.size() + 128);
}

TEST(SongTag, FailedAppendLeavesTheFileAsItWas) {
    QTemporaryDir dir;
    const QString f = dir.filePath("full.mp3");
    const QByteArray audio(4000, '\x42');
    test::writeFile(f, audio);
    SongTag t;
    t.clear(f);
    // A file size limit makes the append stop part way, as a full disk would.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = old;
    lim.rlim_cur = audio.size() + 60;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lim), 0);
    const bool written = t.write(f);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(test::readFile(f), audio);
}

TEST(SongTag, SpecialFilesAreRefused) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.mp3");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    SongTag t;
    t.clear(fifo);
    EXPECT_FALSE(t.read(fifo));
    EXPECT_FALSE(SongTag::hasTag(fifo));
    EXPECT_FALSE(t.write(fifo));
    EXPECT_FALSE(t.read("/dev/zero"));
    EXPECT_FALSE(t.read(dir.filePath("none.mp3")));
}
