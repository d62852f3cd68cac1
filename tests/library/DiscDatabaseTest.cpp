#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "ombrix/library/DiscDatabase.h"
#include "ombrix/library/DiscRecord.h"
#include "ombrix/settings/IniDocument.h"
#include "support/Files.h"

namespace ombrix::test {

// A record saved after a read that found nothing keeps the defaults, says it is not on the
// server, and is found locally the next time the disc is read.
TEST(DiscDatabase, DefaultRecordIsSavedAndFoundNextTime) {
    QTemporaryDir dir;
    const DiscDatabase db(dir.filePath("cddb.ini"));
    DiscRecord disc;
    disc.readToc({0, 1000}, {1000, 750});
    EXPECT_FALSE(db.load(disc, disc.discId()));
    EXPECT_EQ(disc.discTitle(), "Untitled");
    ASSERT_TRUE(db.save(disc));

    const IniDocument doc = IniDocument::read(db.path());
    const QString id = disc.discId();
    EXPECT_EQ(doc.readString(id, "ntracks"), "2");
    EXPECT_EQ(doc.readString(id, "DTITLE"), "Untitled");
    EXPECT_EQ(doc.readString(id, "GENRE"), "rock");
    EXPECT_EQ(doc.readString(id, "TTITLE1"), "Track 2");
    EXPECT_EQ(doc.readString(id, "FRAME1"), "1150");
    EXPECT_EQ(doc.readString(id, "PLAYORDER"), "0102");
    EXPECT_EQ(doc.readString(id, "ONSERVER"), "0");
    EXPECT_EQ(doc.readString(id, "DISCLENGTH"), "25");

    DiscRecord again;
    again.readToc({0, 1000}, {1000, 750});
    EXPECT_TRUE(db.load(again, again.discId()));
    EXPECT_FALSE(again.tracksFromDisc());
    EXPECT_EQ(again.trackLengthMs(2), 10000);  // the disc's own lengths stay
    EXPECT_EQ(db.discIds(), QStringList({id}));
}

// Other discs' records stay; play order pairs, hexadecimal numbers and lengths are read; a
// second save of the same disc replaces its section.
TEST(DiscDatabase, ReadsStoredKeysAndKeepsOtherDiscs) {
    QTemporaryDir dir;
    const QString path = dir.filePath("cddb.ini");
    writeFile(path,
              "[0badcafe]\r\nntracks=1\r\nDTITLE=Other\r\n"
              "[01020304]\r\nntracks=0x3\r\nDTITLE=Known\r\nGENRE=jazz\r\nTTITLE0=A\r\n"
              "TTITLE1=B\r\nEXTT1=guest\r\nMSEC0=1000\r\nMSEC2=0x10\r\nPLAYORDER=0201\r\n"
              "ONSERVER=7\r\n");
    const DiscDatabase db(path);
    DiscRecord r;
    ASSERT_TRUE(db.load(r, "01020304"));
    EXPECT_EQ(r.trackCount(), 3);
    EXPECT_EQ(r.discTitle(), "Known");
    EXPECT_EQ(r.category(), "jazz");
    EXPECT_EQ(r.trackTitle(2), "B");
    EXPECT_EQ(r.trackTitle(3), "Track 3");
    EXPECT_EQ(r.trackExtended(2), "guest");
    EXPECT_EQ(r.trackLengthMs(1), 1000);
    EXPECT_EQ(r.trackLengthMs(3), 16);
    EXPECT_EQ(r.trackAt(0).playOrder, 2);
    EXPECT_EQ(r.trackAt(1).playOrder, 1);
    EXPECT_EQ(r.trackAt(2).playOrder, 0);  // no pair: left out of the play order
    EXPECT_TRUE(r.onServer());

    r.setDiscTitle("Renamed");
    ASSERT_TRUE(db.save(r));
    const IniDocument doc = IniDocument::read(path);
    EXPECT_EQ(doc.readString("0badcafe", "DTITLE"), "Other");
    EXPECT_EQ(doc.readString("01020304", "DTITLE"), "Renamed");
    EXPECT_EQ(doc.readString("01020304", "PLAYORDER"), "020100");
    EXPECT_EQ(db.discIds(), QStringList({"0badcafe", "01020304"}));
}

// Damaged files: cut in the middle of a line, a section twice, values in another code page;
// none crashes, each gives what can be read. A file that is not text is left untouched.
TEST(DiscDatabase, DamagedFilesGiveWhatCanBeReadAndUnreadableOnesStay) {
    QTemporaryDir dir;
    const QString path = dir.filePath("cddb.ini");
    const DiscDatabase db(path);
    DiscRecord r;

    writeFile(path, "[00000101]\r\nntracks=2\r\nDTITLE=Cut\r\nTTITLE0=Whole\r\nTTITLE1=Hal");
    ASSERT_TRUE(db.load(r, "00000101"));
    EXPECT_EQ(r.trackTitle(2), "Hal");

    writeFile(path,
              "[00000101]\r\nntracks=1\r\nDTITLE=First\r\n"
              "[00000101]\r\nntracks=1\r\nDTITLE=Second\r\n");
    ASSERT_TRUE(db.load(r, "00000101"));
    EXPECT_EQ(r.discTitle(), "First");
    EXPECT_EQ(db.discIds(), QStringList({"00000101"}));
    ASSERT_TRUE(db.save(r));
    EXPECT_EQ(db.discIds(), QStringList({"00000101"}));

    writeFile(path, "[00000101]\r\nntracks=1\r\nDTITLE=Caf\xe9\r\nTTITLE0=\x93quoted\x94\r\n");
    ASSERT_TRUE(db.load(r, "00000101"));
    EXPECT_EQ(r.discTitle(), QString::fromUtf8("Caf\xc3\xa9"));
    EXPECT_FALSE(r.trackTitle(1).isEmpty());

    writeFile(path, "ntracks=abc\r\n[00000101]\r\nntracks=-4\r\n");
    EXPECT_FALSE(db.load(r, "00000101"));

    const QByteArray binary("[00000101]\r\nntracks=1\0\0\0garbage", 30);
    writeFile(path, binary);
    EXPECT_FALSE(db.load(r, "00000101"));
    EXPECT_FALSE(db.save(r));
    EXPECT_EQ(readFile(path), binary);

    QDir().mkpath(dir.filePath("folder.ini"));
    const DiscDatabase notAFile(dir.filePath("folder.ini"));
    EXPECT_FALSE(notAFile.load(r, "00000101"));
    EXPECT_FALSE(notAFile.save(r));
}

}  // namespace ombrix::test
