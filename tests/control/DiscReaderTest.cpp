// The disc in the chosen drive (a disc image here): its tracks become the playlist, named by its
// CD-TEXT without any network; taking it out stops its track and removes its entries only; a
// disc with its own playlist plays that; with arrival detection off nothing happens.
#include <gtest/gtest.h>

#include <QFile>

#include "ombrix/control/DiscReader.h"
#include "ombrix/library/DiscRecord.h"
#include "support/ControllerRig.h"

namespace ombrix::test {
namespace {

class DiscReaderTest : public ::testing::Test {
protected:
    DiscReaderTest() {
        drive = discImage(rig.home.filePath("disc"), {75, 60, 90},
                          {"Generated Album", "One", "Two", "Three"});
        rig.store->change([this](PlayerSettings& s) {
            s.cddrive = drive;
            s.disablecddb = true;  // names come from the disc itself
            s.autorepeat1 = false;
        });
    }
    ControllerRig rig;
    QString drive;
    int asked = 0;
    DiscReader reader{*rig.controller, *rig.store, rig.home.filePath("cddb.ini"),
                      [this](const QString&) {
                          ++asked;
                          return false;
                      }};
    PlaybackController& c = *rig.controller;
};

TEST_F(DiscReaderTest, TracksBecomeThePlaylistAndLeaveWithTheDisc) {
    const QString other = rig.home.filePath("song.wav");
    writeFile(other, pcmWave(500));
    c.setPlaylist({other});
    reader.readTracks();
    ASSERT_TRUE(rig.tickUntil([&] { return c.playlist().size() == 3; }));
    EXPECT_EQ(c.playlist().first(), drive + "/track01.cda");
    EXPECT_EQ(reader.record().trackTitle(2), "Two");
    EXPECT_EQ(asked, 0);
    ASSERT_TRUE(rig.tickUntil([&] { return c.state().playing; }));
    EXPECT_EQ(c.state().line1, "One") << "the playing track is named by the disc";

    c.addFiles({other}, false);
    QFile::rename(drive, drive + ".out");
    reader.watcher().poll();
    EXPECT_FALSE(c.state().playing);
    EXPECT_EQ(c.playlist(), QStringList{other});
    EXPECT_EQ(c.currentIndex(), 0);
}

TEST_F(DiscReaderTest, ADiscWithItsOwnPlaylistPlaysItAndDetectionCanBeOff) {
    const QString song = rig.home.filePath("own.wav");
    writeFile(song, pcmWave(500));
    writeFile(rig.home.filePath("disc/musicdisk.dmp"), song.toUtf8() + "\r\n");
    QFile::rename(drive, drive + ".out");
    reader.watcher().poll();

    rig.store->change([](PlayerSettings& s) { s.detectcdload = false; });
    QFile::rename(drive + ".out", drive);
    reader.watcher().poll();
    EXPECT_TRUE(c.playlist().isEmpty());

    QFile::rename(drive, drive + ".out");
    reader.watcher().poll();
    rig.store->change([](PlayerSettings& s) { s.detectcdload = true; });
    QFile::rename(drive + ".out", drive);
    reader.watcher().poll();
    EXPECT_EQ(c.playlist(), QStringList{song});
}

// No drive, or one without an audio disc, says so on the status line and changes nothing.
TEST_F(DiscReaderTest, NoDriveOrNoDiscIsSaid) {
    c.setPlaylist({drive + "/track01.cda"});
    rig.store->change([this](PlayerSettings& s) { s.cddrive = drive + ".none"; });
    reader.readTracks();
    EXPECT_EQ(c.state().statusText, "cd not ready");
    EXPECT_EQ(c.playlist().size(), 1);
}

}  // namespace
}  // namespace ombrix::test
