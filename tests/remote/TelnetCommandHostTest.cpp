// Commands carried out on a real player: the controller's own operations, and the replies that
// depend on what happened.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "ombrix/remote/TelnetCommandHost.h"
#include "support/ControllerRig.h"

namespace ombrix::test {
namespace {

class TelnetCommandHostTest : public ::testing::Test {
protected:
    void SetUp() override { OMBRIX_NEED_MEDIA(); }
    ControllerRig rig;
    int shutdowns = 0;
    TelnetCommandHost host{*rig.controller, *rig.store, "Ombrix Player", [this] { ++shutdowns; }};
};

TEST_F(TelnetCommandHostTest, ListShowsTagTitlesOrFileNames) {
    rig.controller->setPlaylist({rig.song("a/night.mp3", "Night Song", "The Band"),
                                 rig.song("a/lonely.mp3", "Lonely"), rig.song("a/plain.mp3"),
                                 rig.home.filePath("gone/missing.mp3"),
                                 "http://example.com/radio/live.mp3", "/dev/sr0/track02.cda"});
    EXPECT_EQ(host.execute("list"),
              "1: Night Song / The Band\n\r2: Lonely\n\r3: plain.mp3\n\r4: missing.mp3\n\r"
              "5: live.mp3\n\r6: not found\n\r");
}

TEST_F(TelnetCommandHostTest, ListTextsAreKeptUntilThePlaylistChanges) {
    const QString night = rig.song("a/night.mp3", "Night Song", "The Band");
    const QString plain = rig.song("a/plain.mp3");
    rig.controller->setPlaylist({night, plain});
    QCoreApplication::processEvents();
    EXPECT_EQ(host.execute("list"), "1: Night Song / The Band\n\r2: plain.mp3\n\r");
    EXPECT_EQ(host.cachedListings(), 2);
    // The files are not read again for the next "list" ...
    rig.song("a/night.mp3", "Day Song");
    EXPECT_EQ(host.execute("list"), "1: Night Song / The Band\n\r2: plain.mp3\n\r");
    // ... until the playlist changes.
    rig.controller->setPlaylist({night, plain, rig.song("a/third.mp3")});
    QCoreApplication::processEvents();
    EXPECT_EQ(host.execute("list"), "1: Day Song\n\r2: plain.mp3\n\r3: third.mp3\n\r");
}

TEST_F(TelnetCommandHostTest, ALoadedPlaylistKeepsOnlyEntriesInsideTheFolder) {
    const QString inside = rig.song("music/in.mp3");
    rig.song("music/sub/deeper.mp3");
    const QString outside = rig.song("outside.mp3");
    ASSERT_TRUE(QFile::link(outside, rig.home.filePath("music/link.mp3")));
    writeFile(rig.home.filePath("music/other.m3u"), QByteArray(outside.toUtf8() + "\r\n"));
    writeFile(rig.home.filePath("music/list.m3u"),
              "in.mp3\r\n../outside.mp3\r\n" + outside.toUtf8() +
                  "\r\n/etc/passwd\r\nhttp://example.com/radio.mp3\r\n"
                  "https://example.com/b.mp3\r\nlink.mp3\r\nother.m3u\r\nsub/deeper.mp3\r\n"
                  "missing.mp3\r\n");
    rig.store->change([&](PlayerSettings& s) { s.telnetpath = "music"; });
    EXPECT_EQ(host.execute("load list.m3u"), "ok");
    const QString root = QFileInfo(rig.home.filePath("music")).canonicalFilePath();
    EXPECT_EQ(rig.controller->playlist(),
              (QStringList{QFileInfo(inside).canonicalFilePath(), root + "/sub/deeper.mp3"}));
    // A playlist with nothing inside the folder adds nothing.
    EXPECT_EQ(host.execute("load other.m3u"), "ok");
    EXPECT_EQ(rig.controller->playlist().size(), 2);
}

TEST_F(TelnetCommandHostTest, PlayStopVolumeAndInfoDriveTheController) {
    PlaybackController& c = *rig.controller;
    c.setPlaylist({rig.home.filePath("missing.mp3"), rig.song("tagged.mp3", "Tune", "Band")});
    EXPECT_EQ(host.execute("info"), c.state().line1 + " / " + c.state().line2 + " (stopped)");
    EXPECT_EQ(host.execute("play 2"), "okay");
    EXPECT_TRUE(c.state().playing);
    EXPECT_EQ(host.execute("info"), c.state().line1 + " / " + c.state().line2);
    EXPECT_EQ(host.execute("volume 200"), "volume = 127");
    EXPECT_EQ(c.state().volume, 127);
    EXPECT_EQ(host.execute("stop"), "okay");
    EXPECT_FALSE(c.state().playing);
    EXPECT_TRUE(host.execute("info").endsWith(" (stopped)"));
    // An entry that cannot be played leaves the player stopped.
    EXPECT_EQ(host.execute("play 1"), "nope");
    EXPECT_FALSE(c.state().playing);
    EXPECT_EQ(host.execute("version"), "Ombrix Player");
}

TEST_F(TelnetCommandHostTest, LoadAddsAndPlaysAFileOfTheFolder) {
    rig.song("music/Track.mp3");
    rig.song("outside.mp3");
    EXPECT_EQ(host.execute("load Track.mp3"), "unrecognized command or syntax error");
    rig.store->change(
        [&](PlayerSettings& s) { s.telnetpath = "music"; });  // relative: inside the home
    EXPECT_EQ(host.folder(), rig.home.filePath("music"));
    EXPECT_EQ(host.execute("load ../outside.mp3"), "file not found");
    EXPECT_EQ(host.execute("load track.mp3"), "ok");
    const PlayerState st = rig.controller->state();
    EXPECT_TRUE(st.playing);
    EXPECT_EQ(QFileInfo(st.currentFile).fileName(), "Track.mp3");
    EXPECT_EQ(rig.controller->playlist().size(), 1);
    EXPECT_TRUE(host.execute("dir").contains("Track.mp3"));
}

TEST_F(TelnetCommandHostTest, ShutdownOnlyWithPermission) {
    EXPECT_EQ(host.execute("shutdown"), "permission denied");
    EXPECT_EQ(shutdowns, 0);
    rig.store->change([&](PlayerSettings& s) { s.allowshutdown = true; });
    EXPECT_EQ(host.execute("shutdown"), "");
    EXPECT_EQ(shutdowns, 1);
}

}  // namespace
}  // namespace ombrix::test
