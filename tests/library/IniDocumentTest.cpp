#include "ombrix/settings/IniDocument.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>

#include "ombrix/settings/TextFile.h"
#include "support/Files.h"

using namespace ombrix;

namespace {

IniDocument parse(const char* text) {
    return IniDocument::parse(TextFile::decodeLines(QByteArray(text)));
}

}  // namespace

TEST(IniDocument, IntegersHexDefaultsAndCase) {
    const IniDocument ini = parse(
        "[Option]\r\nA=0x10\r\nb=0X1f\r\nc=0x\r\nd=12abc\r\ne= -7 \r\nf=\r\nBig=0xFFFFFFFF\r\n");
    const struct {
        const char* section;
        const char* key;
        qint64 expected;
    } cases[] = {{"option", "a", 16},      {"OPTION", "B", 31},   {"option", "c", 5},
                 {"option", "d", 5},       {"option", "e", -7},   {"option", "f", 5},
                 {"option", "missing", 5}, {"nosection", "a", 5}, {"option", "big", 0xFFFFFFFFll}};
    for (const auto& c : cases)
        EXPECT_EQ(ini.readInteger(c.section, c.key, 5), c.expected) << c.key;
    EXPECT_TRUE(ini.readBool("option", "e", false));  // any non-zero value is true
    EXPECT_FALSE(ini.readBool("option", "f", false));
}

TEST(IniDocument, StringsAreCutAndFirstDuplicateWins) {
    const QString longValue(3000, QLatin1Char('x'));
    IniDocument ini;
    ini.writeString("s", "long", longValue);
    EXPECT_EQ(ini.readString("s", "long").size(), IniDocument::kMaxStringLength);
    const IniDocument dup = parse("[s]\nk=first\nk=second\n");
    EXPECT_EQ(dup.readString("s", "k"), "first");
    EXPECT_EQ(dup.readString("s", "none", "def"), "def");
    ini.writeString("s", "nl", "a\r\nb");  // must not break the file into two lines
    EXPECT_EQ(IniDocument::parse(ini.toLines()).readString("s", "nl"), "a  b");
}

TEST(IniDocument, ListSections) {
    IniDocument ini;
    ini.writeList("recent", {"/a.mp3", "", "/c.mp3"});
    EXPECT_EQ(ini.readString("recent", "1"), "$");
    EXPECT_EQ(ini.readList("recent"), QStringList({"/a.mp3", "", "/c.mp3"}));
    // Writing erases what was there before.
    ini.writeList("recent", {"/x.mp3"});
    EXPECT_EQ(ini.keys("recent"), QStringList({"0"}));
    // Reading stops at the first missing or empty key.
    const IniDocument gap = parse("[l]\n0=a\n1=b\n3=d\n");
    EXPECT_EQ(gap.readList("l"), QStringList({"a", "b"}));
    const IniDocument empty = parse("[l]\n0=a\n1=\n2=c\n");
    EXPECT_EQ(empty.readList("l"), QStringList({"a"}));
    // The first of a repeated key counts, as for single keys; "01" is not "1".
    const IniDocument twice = parse("[l]\n0=a\n01=x\n1=b\n1=c\n");
    EXPECT_EQ(twice.readList("l"), QStringList({"a", "b"}));
    // A list grown by hand to 40,000 entries is read up to the limit asked for.
    QByteArray big = "[l]\n";
    for (int i = 0; i < 40000; ++i) big += QByteArray::number(i) + "=/s" + QByteArray::number(i) + "\n";
    const IniDocument grown = parse(big);
    EXPECT_EQ(grown.readList("l", 80).size(), 80);
    EXPECT_EQ(grown.readList("l").size(), 40000);
    EXPECT_EQ(grown.readList("l").last(), "/s39999");
}

TEST(IniDocument, SaveIsAtomicAndCrLfUtf8) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ombrix player.ini");
    IniDocument ini;
    ini.writeString("option", "panelname", "défaut");
    ini.save(path);
    EXPECT_EQ(test::readFile(path), QByteArray("[option]\r\npanelname=d\xc3\xa9"
                                               "faut\r\n"));
    // A hard link still sees the old contents: the new file was renamed into place, the old
    // one never rewritten (so a crash mid-write cannot leave half a file under the name).
    const QString link = dir.filePath("old.ini");
    ASSERT_EQ(::link(path.toLocal8Bit().constData(), link.toLocal8Bit().constData()), 0);
    ini.writeString("option", "panelname", "other");
    ini.save(path);
    EXPECT_TRUE(
        test::readFile(link).contains("d\xc3\xa9"
                                      "faut"));
    EXPECT_TRUE(test::readFile(path).contains("other"));
    // A missing file reads as an empty document; a Latin-1 file still reads.
    EXPECT_TRUE(IniDocument::load(dir.filePath("none.ini")).sectionNames().isEmpty());
    test::writeFile(dir.filePath("latin1.ini"), "[a]\nk=caf\xe9\n");
    EXPECT_EQ(IniDocument::load(dir.filePath("latin1.ini")).readString("a", "k"), "café");
}

TEST(TextFile, ReadsUpToTheLimitWithABufferOfTheFilesSize) {
    QTemporaryDir dir;
    const QString file = dir.filePath("small.ini");
    test::writeFile(file, "12345");
    const QByteArray bytes = TextFile::readAll(file);
    EXPECT_EQ(bytes, "12345");
    // A settings or playlist file of a few bytes does not hold a buffer of the 64 MiB limit.
    EXPECT_LT(bytes.capacity(), 1 << 16);
    EXPECT_EQ(TextFile::readAll(file, 5), "12345");
    EXPECT_THROW(TextFile::readAll(file, 4), FileError);
    test::writeFile(file, "");
    EXPECT_EQ(TextFile::readAll(file), "");
}
