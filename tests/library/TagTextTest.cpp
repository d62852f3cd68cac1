// Titles from ID3v2 and APE tags made here byte by byte, damaged tags, and ID3v1 text in legacy
// code pages.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "ombrix/library/LegacyText.h"
#include "ombrix/library/ModernTagReader.h"
#include "ombrix/library/SongTag.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

using CP = LegacyText::CodePage;

// Bytes that look like MPEG audio to nobody; tags are what matters here.
const QByteArray kAudio(4096, char(0x55));

QByteArray apeItem(const QByteArray& key, const QByteArray& value) {
    return le32(quint32(value.size())) + le32(0) + key + '\0' + value;
}
QByteArray apeTag(const QByteArray& items, int count) {
    const quint32 size = quint32(items.size() + 32);
    auto block = [&](quint32 flags) {
        return QByteArray("APETAGEX") + le32(2000) + le32(size) + le32(quint32(count)) +
               le32(flags) + QByteArray(8, '\0');
    };
    return block(0xA0000000u) + items + block(0x80000000u);
}

class TagTextTest : public ::testing::Test {
protected:
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        writeFile(path, bytes);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(TagTextTest, TitlesComeFromId3v2OfEveryVersionWhenThereIsNoId3v1) {
    for (int version : {2, 3, 4}) {
        const QByteArray frames = id3v2Frame(version, version == 2 ? "TT2" : "TIT2", "Blue Hour") +
                                  id3v2Frame(version, version == 2 ? "TP1" : "TPE1", "Night Trio") +
                                  id3v2Frame(version, version == 2 ? "TAL" : "TALB", "Lanterns");
        const QString f = file(QString("v2_%1.mp3").arg(version), id3v2(version, frames) + kAudio);
        SongTag tag;
        ASSERT_TRUE(tag.readTexts(f)) << version;
        EXPECT_FALSE(tag.found()) << "no ID3v1 tag, so none to write back";
        EXPECT_TRUE(tag.hasTexts());
        EXPECT_TRUE(tag.fromModernTag);
        EXPECT_EQ(tag.title, "Blue Hour") << version;
        EXPECT_EQ(tag.artist, "Night Trio");
        EXPECT_EQ(tag.album, "Lanterns");
        EXPECT_EQ(tag.displayField(6), "Night Trio / Lanterns");
    }
    // UTF-8 text of 2.4 arrives whole.
    const QString u =
        file("utf8.mp3", id3v2(4, id3v2Frame(4, "TIT2", "Caf\xc3\xa9 \xe6\x9d\xb1")) + kAudio);
    SongTag tag;
    tag.readTexts(u);
    EXPECT_EQ(tag.title, QString::fromUtf8("Caf\xc3\xa9 \xe6\x9d\xb1"));
}

TEST_F(TagTextTest, TitlesComeFromApeAndId3v1StillWins) {
    const QByteArray ape = apeTag(apeItem("Title", "Ape Song") + apeItem("Artist", "Ape Band") +
                                      apeItem("Album", "Ape Album"),
                                  3);
    SongTag tag;
    ASSERT_TRUE(tag.readTexts(file("ape.mp3", kAudio + ape)));
    EXPECT_TRUE(tag.fromModernTag);
    EXPECT_EQ(tag.title, "Ape Song");
    EXPECT_EQ(tag.artist, "Ape Band");
    EXPECT_EQ(tag.album, "Ape Album");
    EXPECT_EQ(ModernTagReader::read(dir.filePath("ape.mp3"))->kind, ModernTagReader::Kind::Ape);

    // An APE tag in front of an ID3v1 tag is found, but the ID3v1 tag is the one shown.
    SongTag both;
    both.readTexts(file("both.mp3", id3v2(3, id3v2Frame(3, "TIT2", "Modern")) + kAudio + ape +
                                        id3v1("Old Title", "Old Artist", "")));
    EXPECT_TRUE(both.found());
    EXPECT_FALSE(both.fromModernTag);
    EXPECT_EQ(both.title, "Old Title");

    // A file with no tag at all keeps its file name as title.
    SongTag none;
    none.readTexts(file("plain song.mp3", kAudio));
    EXPECT_FALSE(none.hasTexts());
    EXPECT_EQ(none.title, "plain song");
}

TEST_F(TagTextTest, DamagedModernTagsAreRefusedOrCutWithoutReadingThemWhole) {
    // Sizes past the end of the file: what is there is read, nothing beyond.
    QByteArray past = id3v2(3, id3v2Frame(3, "TIT2", "Short"));
    past.replace(6, 4, syncsafe(50'000'000));
    EXPECT_EQ(ModernTagReader::read(file("past.mp3", past))->title, "Short");
    QByteArray frameTooBig = id3v2(4, id3v2Frame(4, "TIT2", "X"));
    frameTooBig.replace(14, 4, syncsafe(200'000'000));  // the frame's own size
    EXPECT_FALSE(ModernTagReader::read(file("frame.mp3", frameTooBig + kAudio)));

    // Unsynchronisation flag over garbage, and garbage that merely starts with "ID3".
    QByteArray garbage(3000, '\0');
    for (int i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 73 + 11) & 0xFF);
    EXPECT_FALSE(ModernTagReader::read(file("unsync.mp3", id3v2(3, garbage, 0, 0x80) + kAudio)));
    EXPECT_FALSE(ModernTagReader::read(file("junk.mp3", "ID3" + garbage)));
    EXPECT_FALSE(
        ModernTagReader::read(file("apejunk.mp3", kAudio + "APETAGEX" + garbage.left(24))));

    // A 200 MB picture frame after the title: the file is sparse, the picture is skipped,
    // the title is found.
    const QByteArray title = id3v2Frame(4, "TIT2", "Cover Song");
    const qint64 picture = 200LL * 1024 * 1024;
    QByteArray head = QByteArray("ID3") + char(4) + '\0' + '\0' +
                      syncsafe(quint32(title.size() + 10 + picture)) + title + "APIC" +
                      syncsafe(quint32(picture)) + QByteArray(2, '\0');
    const QString big = file("big.mp3", head);
    ASSERT_EQ(::truncate(QFile::encodeName(big).constData(), head.size() + picture + 4096), 0);
    SongTag tag;
    tag.readTexts(big);
    EXPECT_EQ(tag.title, "Cover Song");

    // A folder, a FIFO and a missing file are no tags.
    EXPECT_FALSE(ModernTagReader::read(dir.path()));
    const QString fifo = dir.filePath("fifo.mp3");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(ModernTagReader::read(fifo));
    EXPECT_FALSE(ModernTagReader::read(dir.filePath("missing.mp3")));
}

TEST_F(TagTextTest, LegacyCodePagesAreDetectedPerFile) {
    struct Case {
        const char* utf8Title;
        const char* utf8Artist;
        CP page;
    } cases[] = {
        {"\xe6\x9d\xb1\xe4\xba\xac\xe3\x81\xae\xe5\xa4\x9c",
         "\xe3\x81\x93\xe3\x82\x93\xe3\x81\xab\xe3\x81\xa1\xe3\x81\xaf\xe4\xb8\x96\xe7\x95\x8c",
         CP::ShiftJis},
        {"\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 \xd0\xbc\xd0\xb8\xd1\x80",
         "\xd0\x9c\xd0\xbe\xd1\x81\xd0\xba\xd0\xb2\xd0\xb0 "
         "\xd0\x9a\xd1\x80\xd0\xb0\xd1\x81\xd0\xbd\xd0\xb0\xd1\x8f",
         CP::Windows1251},
        {"Caf\xc3\xa9 M\xc3\xbcller",
         "Gr\xc3\xb6\xc3\x9f"
         "e \xe2\x82\xac",
         CP::Windows1252},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString title = QString::fromUtf8(c.utf8Title);
        const QString artist = QString::fromUtf8(c.utf8Artist);
        const auto t = LegacyText::encode(title, c.page);
        const auto a = LegacyText::encode(artist, c.page);
        ASSERT_TRUE(t && a);
        ASSERT_FALSE(LegacyText::isUtf8(*t + *a));
        const QString f = file(QString("legacy%1.mp3").arg(n++), kAudio + id3v1(*t, *a, ""));
        SongTag tag;
        ASSERT_TRUE(tag.read(f));
        EXPECT_EQ(tag.title, title) << LegacyText::name(c.page).toStdString();
        EXPECT_EQ(tag.artist, artist);
        EXPECT_EQ(tag.codePage, c.page);
    }
}

TEST_F(TagTextTest, SettingForcesTheCodePageAndJapanesePrefersShiftJis) {
    // "ＭＳ" style text that is valid in several code pages: the setting decides.
    const QByteArray bytes =
        *LegacyText::encode(QString::fromUtf8("\xe6\x97\xa5\xe6\x9c\xac"), CP::ShiftJis);
    const QString f = file("forced.mp3", kAudio + id3v1(bytes, "", ""));
    SongTag tag;
    tag.read(f, LegacyText::Choice::fromSettings("windows-1251", 0));
    EXPECT_EQ(tag.codePage, CP::Windows1251);
    EXPECT_EQ(tag.title, LegacyText::decode(bytes, CP::Windows1251));
    tag.read(f, LegacyText::Choice::fromSettings("auto", 1));
    EXPECT_EQ(tag.codePage, CP::ShiftJis);
    EXPECT_EQ(tag.title, QString::fromUtf8("\xe6\x97\xa5\xe6\x9c\xac"));
    EXPECT_EQ(LegacyText::Choice::fromSettings("klingon", 0).forced, CP::Auto);
}

TEST_F(TagTextTest, TheEditorWritesId3v1InTheFilesCodePageWhenEveryCharacterFits) {
    const QString jp = QString::fromUtf8(
        "\xe5\xa4\x9c\xe3\x81\xae\xe6\xad\x8c\xe3\x81\xa8\xe6\x9c\x88\xe3\x81\xae\xe5\x85\x89\xe3"
        "\x81\xae\xe4\xb8\x8b\xe3\x81\xa7\xe5\xbe\x85\xe3\x81\xa4");
    const QString f = file(
        "write.mp3",
        kAudio + id3v1(*LegacyText::encode(
                           QString::fromUtf8("\xe6\x9d\xb1\xe4\xba\xac\xe3\x81\xae\xe5\xa4\x9c"),
                           CP::ShiftJis),
                       "", ""));
    SongTag tag;
    tag.read(f, LegacyText::Choice::fromSettings("auto", 1));
    ASSERT_EQ(tag.codePage, CP::ShiftJis);
    tag.title = jp;  // 15 characters, 30 bytes in Shift-JIS, 45 in UTF-8
    tag.artist = "Band";
    ASSERT_TRUE(tag.write(f));
    const QByteArray bytes = readFile(f);
    QByteArray expected = *LegacyText::encode(jp, CP::ShiftJis);
    expected.append(QByteArray(30 - expected.size(), '\0'));
    EXPECT_EQ(bytes.mid(bytes.size() - 125, 30), expected);
    SongTag again;
    again.read(f, LegacyText::Choice::fromSettings("auto", 1));
    EXPECT_EQ(again.title, jp) << "nothing cut: the code page holds the whole title";

    // A character the code page lacks: the whole tag goes in UTF-8, cut on a character.
    tag.title = QString::fromUtf8("\xd0\x96 \xe6\x97\xa5");  // Cyrillic fits Shift-JIS, but
    tag.artist = QString::fromUtf8("\xea\xb0\x80");          // Hangul does not
    ASSERT_TRUE(tag.write(f));
    SongTag utf8;
    utf8.read(f);
    EXPECT_EQ(utf8.artist, QString::fromUtf8("\xea\xb0\x80"));
    EXPECT_EQ(utf8.title, tag.title);
    EXPECT_EQ(utf8.codePage, CP::Auto);

    // A half double-byte character is never written.
    EXPECT_EQ(LegacyText::encodeCut(jp, CP::ShiftJis, 5)->size(), 4);
}

}  // namespace
}  // namespace ombrix::test
