#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "ombrix/library/DiscDatabase.h"
#include "ombrix/library/DiscRecord.h"
#include "ombrix/media/CdDisc.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

// The disc ID by its definition, written apart from the record's code: the digit sums of the
// track starts in seconds, the playing time from the first start to one frame past the end.
QString expectedId(const QList<int>& offsets, int lastSectors) {
    int sum = 0;
    for (int off : offsets)
        for (int s = off / 75; s > 0; s /= 10) sum += s % 10;
    const int seconds = (offsets.last() + lastSectors + 1) / 75 - offsets.first() / 75;
    return QString::asprintf("%02x%04x%02x", sum % 255, seconds, int(offsets.size()));
}

}  // namespace

// One track at 0:02:00 lasting three minutes; and a tiny disc whose ID starts with zeros.
TEST(DiscRecord, DiscIdOfKnownTablesKeepsLeadingZerosAndLowerCase) {
    DiscRecord r;
    r.readToc({0}, {3 * 60 * 75});
    EXPECT_EQ(r.discId(), "0200b401");
    EXPECT_EQ(r.discLengthSeconds(), 182);
    EXPECT_EQ(r.frameOffsets(), QVector<qint32>({150}));
    ASSERT_EQ(r.trackCount(), 1);
    EXPECT_EQ(r.trackLengthMs(1), 180000);
    EXPECT_TRUE(r.tracksFromDisc());

    r.readToc({-150}, {75});
    EXPECT_EQ(r.discId(), "00000101");
    EXPECT_EQ(DiscRecord::idText(0xABCDEF), "00abcdef");
}

// A generated disc image read like a drive: its ID follows from its table of contents, and its
// MusicBrainz ID is one of the 28-character form.
TEST(DiscRecord, DiscImageGivesTheIdOfItsTableOfContents) {
    QTemporaryDir dir;
    const auto disc = CdDisc::open(discImage(dir.path(), {2 * 75 + 3, 3 * 75 + 40, 100}));
    DiscRecord r;
    r.readDisc(*disc);
    QList<int> offsets;
    for (const CdTrack& t : disc->tracks()) offsets.append(t.firstSector + 150);
    EXPECT_EQ(r.discId(), expectedId(offsets, disc->tracks().back().sectors));
    EXPECT_EQ(r.trackCount(), 3);
    EXPECT_EQ(r.trackTitle(3), "Track 3");
    EXPECT_EQ(r.leadOutOffset(), disc->leadOutSector() + 150);
    const QString mb = r.musicBrainzId();
    EXPECT_EQ(mb.size(), 28);
    EXPECT_TRUE(mb.endsWith('-'));
}

// A play order change is a swap; completeness needs every title renamed.
TEST(DiscRecord, PlayOrderSwapsAndCompletenessNeedsEveryTitle) {
    DiscRecord r;
    r.setTrackCount(3);
    r.setPlayOrder(0, 3);
    EXPECT_EQ(r.trackAt(0).playOrder, 3);
    EXPECT_EQ(r.trackAt(2).playOrder, 1);
    EXPECT_EQ(r.trackAt(1).playOrder, 2);

    r.setTrackCount(2);
    EXPECT_FALSE(r.isComplete());
    r.trackAt(0).title = "Intro";
    EXPECT_FALSE(r.isComplete());
    r.trackAt(1).title = "Track 1";  // a default title of another track is a real name here
    EXPECT_TRUE(r.isComplete());
    r.setTrackCount(0);
    EXPECT_TRUE(r.isComplete());
}

TEST(DiscRecord, SubmissionTextIsTheXmcdRecordWithCrLf) {
    DiscRecord r;
    r.readToc({0, 1000}, {1000, 750});
    r.setDiscTitle("Artist / Album");
    r.trackAt(0).title = "One";
    r.trackAt(1).extended = "live";
    const QByteArray want =
        "# xmcd\r\n#\r\n# Track frame offsets:\r\n# 150\r\n# 1150\r\n#\r\n"
        "# Disc length: 25 seconds\r\n#\r\n# Revision: 3\r\n# Processed by Tessik CDDB client\r\n"
        "#\r\nDISCID=" +
        r.discId().toLatin1() +
        "\r\nDTITLE=Artist / Album\r\nTTITLE0=One\r\nTTITLE1=Track 2\r\nEXTT0=\r\nEXTT1=live\r\n"
        "PLAYORDER=\r\n.\r\n";
    EXPECT_EQ(r.xmcdText(), want);
}

}  // namespace ombrix::test
