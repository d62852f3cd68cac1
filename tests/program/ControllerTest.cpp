// The playback controller with the real decoder on SDL's dummy driver, driven tick by tick
// with a fake clock.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "ControllerRig.h"
#include "ProgramSupport.h"
#include "TestSupport.h"
#include "mixora.h"
#include "mp3.h"
#include "ombrix/control/FakeMixer.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/library/PlaylistFile.h"
#include "ombrix/media/EntryResolver.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/media/TempRegister.h"
#include "ombrix/settings/SettingsStore.h"

namespace ombrix::test {
namespace {

class ControllerTest : public ::testing::Test, protected ControllerRig {
protected:
    void SetUp() override {
        if (!media().ok()) GTEST_SKIP() << "lame is needed to make test songs";
        c->setRandom([](int n) { return n - 1; });
    }

    bool playingPastOneSecond() { return playPastOneSecond(); }
    QStringList copies(int n) { return songs(n); }

    std::unique_ptr<PlaybackController>& c = controller;
};

TEST_F(ControllerTest, NextAndPreviousWrapAndTheFirstSecondRefusesAChange) {
    const QStringList songs = copies(3);
    c->setPlaylist(songs);
    c->playEntry(0);
    ASSERT_TRUE(c->state().playing);
    EXPECT_EQ(c->state().line1, "song0");  // no tag: the file name without extension
    c->next();
    EXPECT_EQ(c->currentIndex(), 0) << "a change within the first second is refused";
    ASSERT_TRUE(playingPastOneSecond());
    c->previous();
    EXPECT_EQ(c->currentIndex(), 2) << "previous on the first plays the last";
    ASSERT_TRUE(playingPastOneSecond());
    c->next();
    EXPECT_EQ(c->currentIndex(), 0) << "next on the last plays the first";
    EXPECT_TRUE(c->state().playing);
}

TEST_F(ControllerTest, PauseBetweenSongsLastsTheSleepSettingThenTheNextSongPlays) {
    c->setPlaylist(copies(2));
    c->playEntry(0);
    ASSERT_TRUE(tickUntil([&] { return c->state().sleeping; }));
    EXPECT_EQ(c->state().line3, "sleeping");
    EXPECT_FALSE(c->acceptsFiles()) << "files from outside wait for the next song";
    // glbsleep 4: (10 x 4 + 1) ticks of 100 ms from the end of the song.
    const qint64 ended = clock.ms;
    while (clock.ms - ended < 4000) ticks(1);
    EXPECT_TRUE(c->state().sleeping);
    EXPECT_EQ(c->currentIndex(), 0);
    ticks(1);
    EXPECT_FALSE(c->state().sleeping);
    EXPECT_EQ(c->currentIndex(), 1);
    EXPECT_TRUE(c->state().playing);
    EXPECT_TRUE(c->acceptsFiles());
}

TEST_F(ControllerTest, DontSleepAdvancesAtOnceAndStopDuringThePauseCancelsTheAdvance) {
    c->setPlaylist(copies(3));
    store->change([&](PlayerSettings& st) { st.dontsleep = true; });
    c->playEntry(0);
    ASSERT_TRUE(tickUntil([&] { return c->currentIndex() == 1; }));
    EXPECT_TRUE(c->state().playing);
    EXPECT_FALSE(c->state().sleeping);

    store->change([&](PlayerSettings& st) { st.dontsleep = false; });
    ASSERT_TRUE(tickUntil([&] { return c->state().sleeping; }));
    c->stop();
    ticks(60);
    EXPECT_FALSE(c->state().playing);
    EXPECT_EQ(c->currentIndex(), 1);
}

TEST_F(ControllerTest, EndOfTheLastEntryStopsRepeatsOrExits) {
    store->change([&](PlayerSettings& st) { st.dontsleep = true; });
    store->change([&](PlayerSettings& st) { st.autorepeat1 = false; });
    c->setPlaylist(copies(1));
    c->playEntry(0);
    ASSERT_TRUE(tickUntil([&] { return !c->state().playing; }));
    EXPECT_FALSE(c->state().songOpen);
    EXPECT_EQ(host.closeRequests, 0);

    store->change([&](PlayerSettings& st) { st.autorepeat1 = true; });
    c->setPlaylist(copies(2));
    c->playEntry(1);
    ASSERT_TRUE(tickUntil([&] { return c->currentIndex() == 0; }));
    EXPECT_TRUE(c->state().playing) << "auto repeat continues with the first entry";

    store->change([&](PlayerSettings& st) { st.glbautoexit = true; });
    c->stop();
    c->playEntry(1);
    ASSERT_TRUE(tickUntil([&] { return host.closeRequests > 0; }));
}

TEST_F(ControllerTest, RepeatThisSongPlaysTheSameEntryAgain) {
    store->change([&](PlayerSettings& st) { st.dontsleep = true; });
    c->setPlaylist(copies(3));
    c->setRepeatThisSong(true);
    c->playEntry(1);
    int starts = 0;
    QObject::connect(c.get(), &PlaybackController::changed, [&](int mask) {
        if ((mask & kChangeSong) && c->state().playing) ++starts;
    });
    ASSERT_TRUE(tickUntil([&] { return starts >= 2; }, 30000));
    EXPECT_EQ(c->currentIndex(), 1);
}

TEST_F(ControllerTest, IntroEndsEachSongAfterTenSecondsWithoutThePause) {
    store->change([&](PlayerSettings& st) { st.intro1 = true; });
    const QString second = home.filePath("second.mp3");
    QFile::copy(media().mp3Short, second);
    c->setPlaylist({media().mp3Long, second});
    c->playEntry(0);
    ASSERT_TRUE(playingPastOneSecond());
    c->seekTo(0.8);  // 11.2 s into the 14 s song
    ASSERT_TRUE(tickUntil([&] { return c->currentIndex() == 1; }));
    EXPECT_FALSE(c->state().sleeping);
    EXPECT_TRUE(c->state().playing);
}

TEST_F(ControllerTest, VanishedFileIsRemovedAndTheNoFrameFileReportsCorrupt) {
    const QStringList songs = copies(2);
    const QString junk = home.filePath("junk.mp3");
    writeBytes(junk, QByteArray(20000, 'x'));
    c->setPlaylist({songs[0], junk, songs[1]});
    QFile::remove(songs[0]);
    c->playEntry(0);
    EXPECT_EQ(c->state().count, 2);
    EXPECT_EQ(c->state().line1, "file not found");
    EXPECT_EQ(c->state().line3, "stopped");
    EXPECT_FALSE(c->state().playing);

    store->change([&](PlayerSettings& st) { st.dontsleep = true; });
    c->playEntry(0);  // junk.mp3: no MPEG frame
    ASSERT_TRUE(
        tickUntil([&] { return c->state().statusText == "file is not accesible or corrupt"; }));
    ASSERT_TRUE(tickUntil([&] { return c->currentIndex() == 1 && c->state().playing; }))
        << "playback moves on to the next entry";
}

TEST_F(ControllerTest, BusyDeviceIsReportedAndStaleErrorsAreDropped) {
    store->change([&](PlayerSettings& st) { st.waveoutid = 97; });  // no such device
    store->change([&](PlayerSettings& st) { st.dontsleep = true; });
    store->change([&](PlayerSettings& st) { st.autorepeat1 = false; });
    c->setPlaylist(copies(1));
    c->playEntry(0);
    ASSERT_TRUE(tickUntil([&] { return c->state().statusText == "sound device is busy"; }));
}

TEST_F(ControllerTest, NumericKeypadPlaysEntriesByNumber) {
    QStringList ten = copies(10);
    c->setPlaylist(ten.mid(0, 9));
    EXPECT_TRUE(c->keyPressed(96));
    EXPECT_FALSE(c->state().playing) << "keypad 0 needs more than nine entries";
    c->keyPressed(99);  // keypad 3
    EXPECT_EQ(c->currentIndex(), 2);
    c->stop();
    c->setPlaylist(ten);
    c->keyPressed(96);
    EXPECT_EQ(c->currentIndex(), 9);
    EXPECT_TRUE(c->state().playing);
    EXPECT_FALSE(c->keyPressed(200));
}

TEST_F(ControllerTest, TimeTextAndTheThirdLine) {
    EXPECT_EQ(PlaybackController::timeText(9999, false), "playing ");
    EXPECT_EQ(PlaybackController::timeText(9999, true), "recording ");
    EXPECT_EQ(PlaybackController::timeText(10000, false), "0 : 10");
    EXPECT_EQ(PlaybackController::timeText(754000, false), "12 : 34");

    c->setPlaylist({media().mp3Long});
    c->playEntry(0);
    ticks(5);
    EXPECT_EQ(c->state().line3, "playing ") << "no tag: the third line shows the time";
    c->seekTo(0.9);
    ASSERT_TRUE(tickUntil([&] { return c->state().line3.startsWith("0 : 1"); }));
}

TEST_F(ControllerTest, VolumeRampsOnlyWithAMixer) {
    c->setVolume(100);
    c->volumeHeld(true);
    ticks(3);
    EXPECT_EQ(c->state().volume, 100) << "no mixer: nothing changes";
    c->volumeReleased();

    FakeMixer mixer;
    mixer.devices = 1;
    mixer.lineChannels = 2;
    ASSERT_TRUE(mixer.open(0, 0, 0));
    c->setMixer(&mixer);
    c->volumeHeld(true);
    ticks(3);  // steps of 1, 2, 3
    EXPECT_EQ(c->state().volume, 106);
    EXPECT_EQ(c->state().statusText, "volume: 106");
    ASSERT_FALSE(mixer.calls.empty());
    EXPECT_EQ(mixer.calls.back(), std::make_pair(106 * 512, 106 * 512));
    ticks(20);
    EXPECT_EQ(c->state().volume, 127);
    c->volumeReleased();
    c->volumeHeld(false);
    ticks(30);
    EXPECT_EQ(c->state().volume, 0);
    c->setMixer(nullptr);
}

TEST_F(ControllerTest, VolumeButtonHeldForOneSecondRampsFaster) {
    FakeMixer mixer;
    mixer.devices = 1;
    mixer.lineChannels = 2;
    ASSERT_TRUE(mixer.open(0, 0, 0));
    c->setMixer(&mixer);
    c->setVolume(60);
    c->volumeHeld(true);
    std::vector<int> seen;
    for (int i = 0; i < 10; ++i) {
        ticks(1);
        seen.push_back(c->state().volume);
    }
    c->volumeReleased();
    EXPECT_EQ(seen, (std::vector<int>{61, 63, 66, 70, 75, 81, 88, 96, 104, 112}));
    c->setMixer(nullptr);
}

TEST_F(ControllerTest, AddFilesExpandsPlaylistsAndArchivesAndShuffles) {
    const QStringList songs = copies(3);
    const QString m3u = home.filePath("list.m3u");
    writeBytes(m3u, "#EXTM3U\r\nsong0.mp3\r\nsong1.mp3\r\n");
    c->addFiles({m3u, songs[2]}, false);
    ASSERT_EQ(c->state().count, 3);
    EXPECT_EQ(c->playlist().at(0), songs[0]);
    EXPECT_EQ(c->playlist().at(2), songs[2]);
    EXPECT_TRUE(c->state().playing)
        << "nothing played, so adding starts playback: " << c->state().statusText.toStdString()
        << " " << c->state().line1.toStdString();
    EXPECT_EQ(store->settings().recent.first(), songs[2]);

    c->stop();
    c->clearPlaylist();
    store->change([&](PlayerSettings& st) { st.dontcheckplaylist = true; });
    c->addFiles({songs[0], home.filePath("gone.mp3"), "http://127.0.0.1:9/x.mp3"}, false);
    EXPECT_EQ(c->playlist(), QStringList({songs[0], "http://127.0.0.1:9/x.mp3"}))
        << "missing local files are dropped, addresses kept";

    c->stop();
    c->clearPlaylist();
    store->change([&](PlayerSettings& st) {
        st.random1 = true;
    });  // the test's random source moves every entry to the end
    c->addFiles(songs, false);
    // a b c -> (a to the end) b c a -> (c to the end) b a c -> (c stays) b a c
    EXPECT_EQ(c->playlist(), QStringList({songs[1], songs[0], songs[2]}));
    EXPECT_EQ(c->currentIndex(), 0);
    EXPECT_EQ(c->state().currentEntry, songs[1]) << "a shuffle starts from the first entry";
}

TEST_F(ControllerTest, ExportDecodesTheNextSongIntoAWaveFileWithoutOutput) {
    store->change([&](PlayerSettings& st) { st.autorepeat1 = false; });
    const QString wav = home.filePath("image.wav");
    c->setPlaylist({media().mp3Short});
    c->armExport(wav);
    ASSERT_TRUE(c->state().recording);
    c->playEntry(0);
    ASSERT_TRUE(tickUntil([&] { return !c->state().playing; }));
    EXPECT_FALSE(c->state().recording);
    // 1.5 s of 44.1 kHz stereo 16-bit audio is about 264 KB.
    EXPECT_GT(QFileInfo(wav).size(), 250000);
}

TEST_F(ControllerTest, DamagedInputStopsWithItsMessageAndKeepsThePlaylist) {
    const QStringList songs = copies(2);
    // A RIFF MPEG file without a "data" chunk.
    const QString riff = home.filePath("bad.rmp");
    writeBytes(riff, QByteArray("RIFF\x1c\0\0\0RMP3fmt \x10\0\0\0", 20) + QByteArray(16, '\1'));
    c->setPlaylist({songs[0], riff, songs[1]});
    c->playEntry(1);
    EXPECT_EQ(c->state().line1, "Corrupt riff mpeg audio.");
    EXPECT_EQ(c->state().line3, "stopped");
    EXPECT_EQ(c->playlist(), QStringList({songs[0], songs[1]})) << "only the damaged entry goes";

    // Empty and garbage playlists add nothing playable, and nothing breaks.
    const QString empty = home.filePath("empty.dmp");
    const QString garbage = home.filePath("garbage.dmp");
    writeBytes(empty, "");
    QByteArray junk;
    for (int i = 0; i < 50000; ++i) junk.append(char((i * 7919) % 251));
    writeBytes(garbage, junk);
    c->clearPlaylist();
    c->addFiles({empty}, false);
    EXPECT_EQ(c->state().count, 0);
    c->addFiles({garbage, home.filePath("missing.dmp")}, false);
    for (int i = 0; i < 400 && c->state().count > 0 && !c->state().playing; ++i) c->play();
    EXPECT_FALSE(c->state().playing);
    EXPECT_FALSE(c->state().statusText.isEmpty());
}

TEST_F(ControllerTest, ZipArchiveMembersBecomeEntriesAndPlay) {
    const QByteArray song = readFile(media().mp3Short);
    const QString zip = home.filePath("album.zip");
    zipArchive(zip, {{"cd1/01.mp3", song}, {"notes.txt", "x"}, {"cd2/01.mp3", song}});
    store->change([&](PlayerSettings& st) { st.dontsleep = true; });
    c->addFiles({zip}, false);
    EXPECT_EQ(c->playlist(), QStringList({zip, zip + "1"})) << "only playable members count";
    EXPECT_TRUE(c->state().playing);
    ASSERT_TRUE(tickUntil([&] { return c->currentIndex() == 1; }));
    EXPECT_TRUE(c->state().playing) << "the second member plays too";
}

TEST_F(ControllerTest, PauseHoldsTheSongAndAnyKeyResumesIt) {
    c->setPlaylist({media().mp3Long});
    c->playEntry(0);
    ASSERT_TRUE(playingPastOneSecond());
    c->pause();
    EXPECT_TRUE(c->state().paused);
    EXPECT_FALSE(c->acceptsFiles()) << "files from outside wait while paused";
    const int at = c->elapsedMs();
    QThread::msleep(900);
    ticks(10);
    // The position moves in steps of 16 frames (about 0.4 s): at most one more step.
    EXPECT_LE(c->elapsedMs(), at + 450) << "the decoder holds while paused";
    c->keyPressed(65);  // any key
    EXPECT_FALSE(c->state().paused);
    EXPECT_TRUE(tickUntil([&] { return c->elapsedMs() > at + 300; }));
    c->resume();
    EXPECT_EQ(host.messages, QStringList({"assert failed @ resumeit"}));
}

TEST_F(ControllerTest, AlarmPlaysItsSongOnceInItsMinute) {
    const QString song = copies(1).first();
    store->change([&](PlayerSettings& st) { st.enablealarm = true; });
    store->change([&](PlayerSettings& st) { st.alarmhour = 12; });
    store->change([&](PlayerSettings& st) { st.alarmmin = 1; });
    store->change([&](PlayerSettings& st) { st.alarmsong = song; });
    clock.wall = QDateTime(QDate(2026, 1, 5), QTime(12, 0, 58));
    ticks(10);  // 12:00:59
    EXPECT_FALSE(c->state().playing);
    ticks(20);  // 12:01:01
    EXPECT_TRUE(c->state().playing);
    EXPECT_EQ(c->playlist(), QStringList({song}));
    c->stop();
    ticks(100);  // still 12:01
    EXPECT_FALSE(c->state().playing) << "the alarm fires once in its minute";
}

TEST_F(ControllerTest, RemovingEntriesKeepsTheCurrentOne) {
    const QStringList songs = copies(4);
    c->setPlaylist(songs);
    c->setCurrentIndex(2);
    c->removeEntry(0);
    EXPECT_EQ(c->currentIndex(), 1);
    c->moveEntry(1, 0);
    EXPECT_EQ(c->currentIndex(), 0);
    EXPECT_EQ(c->playlist().at(0), songs[2]);
    while (c->state().count > 0) c->removeEntry(0);
    EXPECT_EQ(c->state().line1, PlaybackController::kDisplayName);
    EXPECT_EQ(c->state().line3, "ready");
    EXPECT_FALSE(c->state().canPlay);
}

}  // namespace
}  // namespace ombrix::test
