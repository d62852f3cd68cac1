#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "ombrix/media/CdDisc.h"
#include "ombrix/media/DiscWatcher.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

// Reads a whole track in pieces of an odd size, so that sector edges fall inside pieces.
std::vector<int16_t> readAll(CdTrackReader& reader) {
    std::vector<int16_t> out;
    std::vector<int16_t> piece(2 * 1000);
    for (;;) {
        const int n = reader.read(piece.data(), 1000);
        if (n <= 0) break;
        out.insert(out.end(), piece.begin(), piece.begin() + 2 * n);
    }
    return out;
}

bool holdsTrack(const std::vector<int16_t>& pcm, int track, qint64 firstFrame) {
    for (size_t i = 0; i < pcm.size() / 2; ++i) {
        const qint16 want = discSample(track, firstFrame + qint64(i));
        if (pcm[2 * i] != want || pcm[2 * i + 1] != want) return false;
    }
    return true;
}

}  // namespace

// The table of contents and the CD-TEXT of an image, and every track read sample for sample
// from its first sector to its last, also after a seek into the middle of a sector.
TEST(CdDisc, TracksTitlesAndTheirSamplesFromADiscImage) {
    QTemporaryDir dir;
    const QString cue = discImage(dir.path(), {150, 225, 100},
                                  {"Generated Album", "Opening", "Middle Piece", "Last"});
    const auto disc = CdDisc::open(cue);
    ASSERT_EQ(disc->tracks().size(), 3u);
    EXPECT_EQ(disc->tracks()[1].number, 2);
    EXPECT_EQ(disc->tracks()[1].firstSector - disc->tracks()[0].firstSector, 150);
    EXPECT_EQ(disc->tracks()[1].sectors, 225);
    EXPECT_EQ(disc->tracks()[1].lengthMs(), 3000);
    EXPECT_EQ(disc->cdText().albumTitle, "Generated Album");
    EXPECT_EQ(disc->cdText().trackTitles, QStringList({"Opening", "Middle Piece", "Last"}));
    EXPECT_FALSE(disc->cdText().empty());

    const auto reader = disc->readTrack(2);
    EXPECT_EQ(reader->totalFrames(), 225 * 588);
    const std::vector<int16_t> whole = readAll(*reader);
    EXPECT_EQ(whole.size(), size_t(225 * 588 * 2));
    EXPECT_TRUE(holdsTrack(whole, 2, 0));
    EXPECT_EQ(reader->read(std::vector<int16_t>(64).data(), 32), 0);  // at the end

    ASSERT_TRUE(reader->seek(100 * 588 + 300));
    const std::vector<int16_t> rest = readAll(*reader);
    EXPECT_EQ(rest.size(), size_t((125 * 588 - 300) * 2));
    EXPECT_TRUE(holdsTrack(rest, 2, 100 * 588 + 300));
    EXPECT_EQ(reader->skippedSectors(), 0);

    const auto last = disc->readTrack(3);
    EXPECT_TRUE(holdsTrack(readAll(*last), 3, 0));
    EXPECT_THROW(disc->readTrack(4), CdError);
}

// Without CD-TEXT a disc has no titles of its own; a data disc, a missing image and a disc
// whose first track is data are "cd not ready"; a mixed-mode disc's data track is not read.
TEST(CdDisc, DataDiscsMissingImagesAndDamagedImages) {
    QTemporaryDir dir;
    const auto plain = CdDisc::open(discImage(dir.path() + "/plain", {75, 75}));
    EXPECT_TRUE(plain->cdText().empty());

    for (const QString& bad :
         {discImage(dir.path() + "/data", {75, 75}, {}, true), dir.path() + "/none.cue"}) {
        try {
            CdDisc::open(bad);
            ADD_FAILURE() << bad.toStdString();
        } catch (const CdError& e) {
            EXPECT_STREQ(e.what(), "cd not ready");
        }
    }

    // A bin cut short: what is there is read, the rest ends the track or plays as silence,
    // and reading always comes to an end.
    const QString cut = discImage(dir.path() + "/cut", {75, 75});
    QFile bin(dir.path() + "/cut/disc.bin");
    ASSERT_TRUE(bin.resize(75 * 2352 + 40 * 2352));
    const auto disc = CdDisc::open(cut);
    if (disc->track(2)) {
        const auto reader = disc->readTrack(2);
        const std::vector<int16_t> pcm = readAll(*reader);
        EXPECT_LE(pcm.size(), size_t(75 * 588 * 2));
    }
}

// A mounted disc's own files are found under its mount point (blanks in the table escaped);
// an image's beside it.
TEST(CdDisc, TheFolderWhereADiscsOwnFilesAreSeen) {
    QTemporaryDir dir;
    const QString device = dir.path() + "/sr0";
    writeFile(device, "x");
    writeFile(dir.path() + "/mounts", "proc /proc proc rw 0 0\n" + device.toUtf8() +
                                          " /media/user/My\\040Disc iso9660 ro 0 0\n");
    EXPECT_EQ(discRootFolder(device, dir.path() + "/mounts"), "/media/user/My Disc");
    EXPECT_EQ(discRootFolder(dir.path() + "/other", dir.path() + "/mounts"), "");
    EXPECT_EQ(discRootFolder(dir.path() + "/images/disc.cue"), dir.path() + "/images");
}

// A disc image stands for a disc in a drive: taking it away is a removal, putting it back an
// arrival; the disc that is there when the drive is chosen is not reported, and a drive that
// is not chosen is not asked.
TEST(DiscWatcher, ReportsArrivalAndRemovalOfTheChosenDriveOnly) {
    QTemporaryDir dir;
    const QString cue = discImage(dir.path(), {75});
    int asked = 0;
    DiscWatcher watcher([&](const QString& drive) {
        ++asked;
        return discPresent(drive);
    });
    QStringList events;
    QObject::connect(&watcher, &DiscWatcher::arrived,
                     [&](const QString& d) { events << "in " + d; });
    QObject::connect(&watcher, &DiscWatcher::removed,
                     [&](const QString& d) { events << "out " + d; });
    watcher.poll();
    EXPECT_EQ(asked, 0);

    watcher.setDrive(cue);
    EXPECT_TRUE(watcher.discIn());
    watcher.poll();
    EXPECT_TRUE(events.isEmpty());
    QFile::rename(cue, cue + ".away");
    watcher.poll();
    watcher.poll();
    QFile::rename(cue + ".away", cue);
    watcher.poll();
    EXPECT_EQ(events, QStringList({"out " + cue, "in " + cue}));
    EXPECT_FALSE(discPresent(dir.path() + "/no-such-drive"));
    EXPECT_FALSE(discPresent("/dev/null"));  // not a drive
}

}  // namespace ombrix::test
