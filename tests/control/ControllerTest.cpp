// The playback controller and its playback thread with the real decoder on SDL's dummy driver,
// driven tick by tick with a fake clock.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cmath>

#include "ombrix/control/DecoderControl.h"
#include "ombrix/control/OutputLevel.h"
#include "ombrix/control/SongPlayback.h"
#include "support/ControllerRig.h"
#include "support/FakeMixer.h"
#include "support/HttpServer.h"

namespace ombrix::test {
namespace {

class ControllerTest : public ::testing::Test, protected ControllerRig {
protected:
    void SetUp() override {
        OMBRIX_NEED_MEDIA();
        c->setRandom([](int n) { return n - 1; });
    }
    std::unique_ptr<PlaybackController>& c = controller;
};

TEST_F(ControllerTest, NextAndPreviousWrapAndTheFirstSecondRefusesAChange) {
    const QStringList songs = ControllerRig::songs(3);
    c->setPlaylist(songs);
    c->playEntry(0);
    ASSERT_TRUE(c->state().playing);
    EXPECT_EQ(c->state().line1, "song0");  // no tag: the file name without extension
    c->next();
    EXPECT_EQ(c->currentIndex(), 0) << "a change within the first second is refused";
    ASSERT_TRUE(playPastOneSecond());
    c->previous();
    EXPECT_EQ(c->currentIndex(), 2) << "previous on the first plays the last";
    ASSERT_TRUE(playPastOneSecond());
    c->next();
    EXPECT_EQ(c->currentIndex(), 0) << "next on the last plays the first";
    EXPECT_TRUE(c->state().playing);
}

TEST_F(ControllerTest, PauseBetweenSongsLastsTheSleepSettingThenTheNextSongPlays) {
    c->setPlaylist(songs(2));
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
    c->setPlaylist(songs(3));
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
    c->setPlaylist(songs(1));
    c->playEntry(0);
    ASSERT_TRUE(tickUntil([&] { return !c->state().playing; }));
    EXPECT_FALSE(c->state().songOpen);
    EXPECT_EQ(host.closeRequests, 0);

    store->change([&](PlayerSettings& st) { st.autorepeat1 = true; });
    c->setPlaylist(songs(2));
    c->playEntry(1);
    ASSERT_TRUE(tickUntil([&] { return c->currentIndex() == 0; }));
    EXPECT_TRUE(c->state().playing) << "auto repeat continues with the first entry";

    store->change([&](PlayerSettings& st) { st.glbautoexit = true; });
    c->stop();
    c->playEntry(1);
    ASSERT_TRUE(tickUntil([&] { return host.closeRequests > 0; }));
}

TEST_F(ControllerTest, RepeatThisSongPlaysTheSameEntryAgainAlsoTheLastOne) {
    store->change([&](PlayerSettings& st) {
        st.dontsleep = true;
        st.autorepeat1 = false;
    });
    c->setPlaylist(songs(3));
    c->setRepeatThisSong(true);
    int starts = 0;
    QObject::connect(c.get(), &PlaybackController::changed, [&](int mask) {
        if ((mask & kChangeSong) && c->state().playing) ++starts;
    });
    for (int entry : {1, 2}) {
        c->stop();
        starts = 0;
        c->playEntry(entry);
        ASSERT_TRUE(tickUntil([&] { return starts >= 2; }, 30000)) << "entry " << entry;
        EXPECT_EQ(c->currentIndex(), entry);
        EXPECT_TRUE(c->state().playing);
    }
}

TEST_F(ControllerTest, IntroEndsEachSongAfterTenSecondsWithoutThePause) {
    store->change([&](PlayerSettings& st) { st.intro1 = true; });
    const QString second = home.filePath("second.mp3");
    QFile::copy(media().mp3Short, second);
    c->setPlaylist({media().mp3Long, second});
    c->playEntry(0);
    ASSERT_TRUE(playPastOneSecond());
    c->seekTo(0.8);  // 11.2 s into the 14 s song
    ASSERT_TRUE(tickUntil([&] { return c->currentIndex() == 1; }));
    EXPECT_FALSE(c->state().sleeping);
    EXPECT_TRUE(c->state().playing);
}

TEST_F(ControllerTest, VanishedFileIsRemovedAndTheNoFrameFileReportsCorrupt) {
    const QStringList songs = ControllerRig::songs(2);
    const QString junk = home.filePath("junk.mp3");
    writeFile(junk, QByteArray(20000, 'x'));
    c->setPlaylist({songs[0], junk, songs[1]});
    QFile::remove(songs[0]);
    c->playEntry(0);
    EXPECT_EQ(c->state().count, 2);
    EXPECT_EQ(c->state().line1, "file not found");
    EXPECT_EQ(c->state().line2, "song0.mp3") << "the message names the file";
    EXPECT_EQ(c->state().line3, "stopped");
    EXPECT_FALSE(c->state().playing);

    store->change([&](PlayerSettings& st) { st.dontsleep = true; });
    c->playEntry(0);  // junk.mp3: no MPEG frame
    ASSERT_TRUE(
        tickUntil([&] { return c->state().statusText == "file is not accesible or corrupt"; }));
    ASSERT_TRUE(tickUntil([&] { return c->currentIndex() == 1 && c->state().playing; }))
        << "playback moves on to the next entry";
}

TEST_F(ControllerTest, BusyDeviceStopsWithItsMessageInsteadOfRunningThroughThePlaylist) {
    store->change([&](PlayerSettings& st) { st.waveoutid = 97; });  // no such device
    store->change([&](PlayerSettings& st) { st.dontsleep = true; });
    // With Auto Repeat on, a busy device must not send the player round the playlist: it
    // stops, says why, and the title stands still.
    c->setPlaylist(songs(3));
    c->playEntry(0);
    ASSERT_TRUE(tickUntil([&] { return c->state().statusText == "sound device is busy"; }));
    EXPECT_FALSE(c->state().playing);
    EXPECT_EQ(c->state().line1, "sound device is busy");
    EXPECT_EQ(c->state().line3, "stopped");
    ticks(20);
    EXPECT_EQ(c->currentIndex(), 0);
    EXPECT_FALSE(c->state().playing);
}

TEST_F(ControllerTest, NumericKeypadPlaysEntriesByNumber) {
    const QStringList ten = songs(10);
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

TEST_F(ControllerTest, VolumeRampsFasterAfterASecondAndMovesTheMixerOnlyWhenChosen) {
    FakeMixer mixer;
    mixer.devices = 1;
    ASSERT_TRUE(mixer.open(0, 0, 0));
    c->setMixer(&mixer);
    c->setVolume(60);
    c->volumeHeld(true);
    ticks(3);
    c->volumeReleased();
    EXPECT_EQ(c->state().volume, 66) << "the player's own volume ramps too";
    EXPECT_TRUE(mixer.calls.empty()) << "the system mixer is left alone by default";
    EXPECT_EQ(settings().playervolume, 66) << "and the volume is kept for the next start";

    store->change([](PlayerSettings& s) { s.usemixer = true; });
    c->setVolume(60);
    c->volumeHeld(true);
    std::vector<int> seen;
    for (int i = 0; i < 10; ++i) {
        ticks(1);
        seen.push_back(c->state().volume);
    }
    EXPECT_EQ(seen, (std::vector<int>{61, 63, 66, 70, 75, 81, 88, 96, 104, 112}));
    EXPECT_EQ(c->state().statusText, "volume: 112");
    EXPECT_EQ(mixer.calls.back(), std::make_pair(112 * 512, 112 * 512));
    ticks(20);
    EXPECT_EQ(c->state().volume, 127);
    c->volumeReleased();
    c->volumeHeld(false);
    ticks(30);
    EXPECT_EQ(c->state().volume, 0);
    c->setMixer(nullptr);
}

// What the sound device is handed, in windows of 100 ms: the RMS of each side.
struct SideLevels {
    std::vector<double> left, right;
};

SideLevels levelsOf(const QByteArray& raw) {
    constexpr qsizetype kWindow = 4410 * 4;
    SideLevels out;
    for (qsizetype at = 0; at + kWindow <= raw.size(); at += kWindow) {
        const auto* s = reinterpret_cast<const int16_t*>(raw.constData() + at);
        double l = 0, r = 0;
        for (int i = 0; i < 4410; ++i) {
            l += double(s[2 * i]) * s[2 * i];
            r += double(s[2 * i + 1]) * s[2 * i + 1];
        }
        out.left.push_back(std::sqrt(l / 4410));
        out.right.push_back(std::sqrt(r / 4410));
    }
    return out;
}

// Without a system mixer the fader, the pan and a fade are heard on the player's own stream:
// measured on SDL's disk device, which writes what it plays to a file in real time (a new file
// for each song).
TEST_F(ControllerTest, OwnVolumePanAndFadesAreHeardOnTheDevice) {
    const QString raw = home.filePath("device.raw");
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", raw.toLocal8Bit());
    store->change([](PlayerSettings& s) { s.dontsleep = true; });
    const auto secondsHeard = [&] { return double(QFileInfo(raw).size()) / (44100 * 4); };
    const auto playFor = [&](double seconds) {
        const double until = secondsHeard() + seconds;
        ASSERT_TRUE(tickUntil([&] { return secondsHeard() >= until; }, 20000));
    };

    c->setVolume(127);
    c->setPlaylist({media().mp3Long, media().mp3Long});
    c->playEntry(0);
    playFor(1.5);
    c->setVolume(64);  // (64 / 127)^3 of the level: about 0.128
    playFor(1.5);
    c->setPan(OutputLevel::kFullRight);
    playFor(1.5);
    const SideLevels first = levelsOf(readFile(raw));

    c->setPan(0);
    c->setVolume(127);
    c->startFadeOut(3);
    for (int i = 0; i < 4; ++i) c->tickFade();
    ASSERT_TRUE(tickUntil([&] { return c->currentIndex() == 1; }));
    playFor(1.5);
    c->stop();
    qunsetenv("SDL_AUDIODRIVER");
    const SideLevels next = levelsOf(readFile(raw));

    const double full = *std::max_element(first.left.begin(), first.left.end());
    ASSERT_GT(full, 1000.0) << "the song was heard";
    const auto near = [&](double value, double ratio) {
        return std::abs(value / full - ratio) < 0.05;
    };
    bool lowered = false, panned = false;
    for (size_t w = 0; w < first.left.size(); ++w) {
        lowered |= near(first.left[w], 0.128) && near(first.right[w], 0.128);
        panned |= first.left[w] < full * 0.01 && near(first.right[w], 0.128);
    }
    EXPECT_TRUE(lowered) << "the volume was not heard";
    EXPECT_TRUE(panned) << "full right pan did not silence the left side";
    // The next song, after the fade, is at the user's full volume on both sides.
    ASSERT_GT(next.left.size(), 5u);
    const size_t last = next.left.size() - 2;
    EXPECT_TRUE(near(next.left[last], 1.0) && near(next.right[last], 1.0))
        << next.left[last] / full << " " << next.right[last] / full;
}

TEST_F(ControllerTest, AddFilesExpandsPlaylistsAndArchivesAndShuffles) {
    const QStringList songs = ControllerRig::songs(3);
    const QString m3u = home.filePath("list.m3u");
    writeFile(m3u, "#EXTM3U\r\nsong0.mp3\r\nsong1.mp3\r\n");
    c->addFiles({m3u, songs[2]}, false);
    ASSERT_EQ(c->state().count, 3);
    EXPECT_EQ(c->playlist().at(0), songs[0]);
    EXPECT_EQ(c->playlist().at(2), songs[2]);
    EXPECT_TRUE(c->state().playing)
        << "nothing played, so adding starts playback: " << c->state().statusText.toStdString()
        << " " << c->state().line1.toStdString();
    EXPECT_EQ(settings().recent.first(), songs[2]);

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
    EXPECT_EQ(c->state().statusText, "the next song is recorded");
    c->playEntry(0);
    EXPECT_TRUE(c->state().line3.startsWith("rec 0:00")) << "the time counts the recording";
    ASSERT_TRUE(tickUntil([&] { return !c->state().playing; }));
    EXPECT_FALSE(c->state().recording);
    // 1.5 s of 44.1 kHz stereo 16-bit audio is about 264 KB.
    EXPECT_GT(QFileInfo(wav).size(), 250000);

    // Armed during a song, the recording runs from where the song is.
    c->setPlaylist({media().mp3Long});
    c->playEntry(0);
    c->armExport(home.filePath("rest.wav"));
    EXPECT_EQ(c->state().statusText, "recording from here to the end of the song");
    EXPECT_TRUE(c->state().line3.startsWith("rec ")) << c->state().line3.toStdString();
    c->stop();
}

// A web address is fetched without blocking the caller: the display says "loading" and names
// it, every call is answered meanwhile, and the song starts when its copy is there.
TEST_F(ControllerTest, WebAddressIsFetchedWhileEverythingStaysAnswered) {
    const QStringList songs = ControllerRig::songs(1);
    HttpServer server;
    server.silent = true;  // a server that never answers
    const QString stuck = server.url("/stuck.mp3");
    c->setPlaylist({stuck, songs[0]});
    c->playEntry(0);  // returns at once
    EXPECT_EQ(c->state().line3, "loading");
    EXPECT_EQ(c->state().line1, stuck);
    EXPECT_FALSE(c->state().playing);
    // Another song asked for meanwhile (telnet, D-Bus) plays, and the fetch is given up.
    c->playEntry(1);
    EXPECT_TRUE(c->state().playing);
    EXPECT_EQ(c->currentIndex(), 1);
    waitFor([] { return false; }, 200);
    EXPECT_EQ(c->currentIndex(), 1);
    c->stop();

    // A document that arrives is played.
    HttpServer good;
    good.documents["/song.mp3"] = readFile(songs[0]);
    const QString url = good.url("/song.mp3");
    c->setPlaylist({url});
    c->playEntry(0);
    EXPECT_EQ(c->state().line3, "loading");
    ASSERT_TRUE(waitFor([&] { return c->state().playing; }));
    EXPECT_EQ(c->currentIndex(), 0);
    c->stop();

    // A failed one says so and stays in the playlist.
    c->setPlaylist({good.url("/missing.mp3")});
    c->playEntry(0);
    ASSERT_TRUE(waitFor([&] { return c->state().line1 == "download failed"; }));
    EXPECT_EQ(c->state().line3, "stopped");
    EXPECT_EQ(c->playlist().size(), 1);
}

TEST_F(ControllerTest, DamagedInputStopsWithItsMessageAndKeepsThePlaylist) {
    const QStringList songs = ControllerRig::songs(2);
    // A RIFF MPEG file without a "data" chunk.
    const QString riff = home.filePath("bad.rmp");
    writeFile(riff, QByteArray("RIFF\x1c\0\0\0RMP3fmt \x10\0\0\0", 20) + QByteArray(16, '\1'));
    c->setPlaylist({songs[0], riff, songs[1]});
    c->playEntry(1);
    EXPECT_EQ(c->state().line1, "Corrupt riff mpeg audio.");
    EXPECT_EQ(c->state().line3, "stopped");
    EXPECT_EQ(c->playlist(), QStringList({songs[0], songs[1]})) << "only the damaged entry goes";
    // Also when the damaged entry is the current one, its message stays, naming it.
    c->setPlaylist({songs[0], riff, songs[1]});
    c->setCurrentIndex(1);
    c->play();
    EXPECT_EQ(c->state().line1, "Corrupt riff mpeg audio.");
    EXPECT_EQ(c->state().line2, "bad.rmp");
    EXPECT_EQ(c->playlist(), QStringList({songs[0], songs[1]}));

    // Empty and garbage playlists add nothing playable, and nothing breaks.
    const QString empty = home.filePath("empty.dmp");
    const QString garbage = home.filePath("garbage.dmp");
    writeFile(empty, "");
    QByteArray junk;
    for (int i = 0; i < 50000; ++i) junk.append(char((i * 7919) % 251));
    writeFile(garbage, junk);
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
    ASSERT_TRUE(playPastOneSecond());
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
    const QString song = songs(1).first();
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
    const QStringList songs = ControllerRig::songs(4);
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

// Options reach the decoder and every reader of the snapshot, whoever changes them, with no
// window built; a recording stand-in takes the decoder's place.
TEST(ControllerOptionsTest, OptionsReachTheDecoderAndTheSnapshotFromAnywhere) {
    struct RecordingDecoder final : DecoderControl {
        int totalMs(const QString&, int32_t) override { return 0; }
        void pause(bool) override {}
        void seekFrames(int) override {}
        void seekFraction(double) override {}
        double where() override { return 0; }
        int currentMs() override { return 0; }
        void setOutputLevel(int, int) override {}
        void enableEffects(bool on) override { effects = on; }
        void enableEqualizer(bool on) override { equalizer = on; }
        bool startRecording(const QString&) override { return false; }
        void stopRecording() override {}
        bool effects = false, equalizer = false;
    } decoder;
    ControllerRig rig;
    PlaybackController c(*rig.store, *rig.resolver, rig.clock, rig.host, nullptr, &decoder);
    int options = 0;
    QObject::connect(&c, &PlaybackController::changed, [&](int mask) {
        if (mask & kChangeOptions) ++options;
    });

    c.setEqualizerEnabled(true);
    c.setEffectsEnabled(true);
    EXPECT_TRUE(decoder.equalizer && decoder.effects);
    EXPECT_TRUE(rig.settings().enableeq1 && rig.settings().enablefx1);
    QCoreApplication::processEvents();
    EXPECT_EQ(options, 1) << "one change signal for the turn";

    // A change made through the store alone (a settings window, a remote) is news too.
    rig.store->change([](PlayerSettings& s) { s.intro1 = true; });
    QCoreApplication::processEvents();
    EXPECT_EQ(options, 2);
    EXPECT_TRUE(c.state().intro);

    // A refused recording is said on the status line, not reported as started.
    c.armExport(rig.home.filePath("out.wav"));
    EXPECT_FALSE(c.state().recording);
    EXPECT_EQ(c.state().statusText, "cannot write out.wav");
}

TEST(SongPlaybackTest, FinishedFlagIsSetOnlyWhenTheSongEndsByItself) {
    OMBRIX_NEED_MEDIA();
    std::atomic<bool> finished{false};
    {
        SongPlayback player(&finished);
        player.fileName = media().mp3Short;
        player.noOutput = true;  // decodes as fast as it can
        player.start();
        ASSERT_TRUE(waitFor([&] { return finished.load(); }));
        EXPECT_EQ(player.result(), 1);
    }
    finished = false;
    {
        SongPlayback player(&finished);
        player.fileName = media().mp3Long;
        player.start();
        ASSERT_TRUE(waitFor([&] { return player.busy(); }));
        player.stop();
        EXPECT_FALSE(player.busy());
    }
    EXPECT_FALSE(finished.load()) << "a stopped song never counts as finished";

    // A stop that comes before the thread has begun playing still ends it at once.
    SongPlayback early(&finished);
    early.fileName = media().mp3Long;
    early.start();
    early.stop();
    EXPECT_FALSE(finished.load());
}

TEST(SongPlaybackTest, DecoderErrorsReachTheSinkAndStillFinishTheSong) {
    OMBRIX_NEED_MEDIA();
    const QString junk = media().folder + "/no-frame.mp3";
    writeFile(junk, QByteArray(4096, 'z'));
    std::atomic<bool> finished{false};
    std::atomic<int> error{1};
    {
        SongPlayback player(&finished);
        player.fileName = junk;
        player.errorSink = [&](int32_t r) { error = r; };
        player.start();
        ASSERT_TRUE(waitFor([&] { return finished.load(); }));
    }
    EXPECT_EQ(error.load(), -1);

    finished = false;
    error = 1;
    SongPlayback busy(&finished);
    busy.fileName = media().mp3Short;
    busy.waveOutId = 99;  // no such device
    busy.errorSink = [&](int32_t r) { error = r; };
    busy.start();
    ASSERT_TRUE(waitFor([&] { return finished.load(); }));
    EXPECT_EQ(error.load(), 0);
}

TEST(TimeTextTest, HeardAndLengthOrWhatIsLeft) {
    EXPECT_EQ(PlaybackController::timeText(65000, 220000, false, false), "1:05 / 3:40");
    EXPECT_EQ(PlaybackController::timeText(65000, 220000, true, false), "-2:35 / 3:40");
    EXPECT_EQ(PlaybackController::timeText(0, 0, true, false), "0:00") << "no length known";
    EXPECT_EQ(PlaybackController::timeText(3000, 4000, false, true), "rec 0:03 / 0:04");
    EXPECT_EQ(PlaybackController::timeText(5000, 4000, true, false), "-0:00 / 0:04");
    EXPECT_EQ(PlaybackController::timeText(-1, 0, false, false), "playing");
}

TEST(OutputLevelTest, PanScalesTheOtherSideAndRoundsToThirtyTwo) {
    using P = std::pair<int, int>;
    EXPECT_EQ(OutputLevel::channels(127, 0), P(65024, 65024));
    EXPECT_EQ(OutputLevel::channels(100, 64), P(25600, 51200)) << "right pan lowers the left";
    EXPECT_EQ(OutputLevel::channels(100, -64), P(51200, 25600));
    EXPECT_EQ(OutputLevel::channels(100, -128), P(51200, 0));
    EXPECT_EQ(OutputLevel::channels(300, 500), P(0, 65024)) << "clamped";
    // Both ends are reached and just off the middle is the middle.
    EXPECT_EQ(OutputLevel::roundedPan(45), 32);
    EXPECT_EQ(OutputLevel::roundedPan(-1), 0);
    EXPECT_EQ(OutputLevel::roundedPan(127), 128);
    EXPECT_EQ(OutputLevel::roundedPan(-127), -128);
    EXPECT_EQ(OutputLevel::roundedPan(500), 128);
    EXPECT_EQ(OutputLevel::streamLevel(65024), 65536);
    EXPECT_EQ(OutputLevel::streamLevel(0), 0);
    EXPECT_EQ(OutputLevel::volumeFromMixer(51200, 25600), 100);

    FakeMixer mono;
    mono.devices = 1;
    mono.lineChannels = 1;
    mono.open(0, 0, 0);
    OutputLevel::apply(mono, 100, 70);
    EXPECT_EQ(mono.calls.back(), P(51200, 51200)) << "a mono line takes no pan";
    FakeMixer stereo;
    stereo.devices = 1;
    stereo.open(0, 0, 0);
    OutputLevel::apply(stereo, 100, 70);  // 70 -> 64
    EXPECT_EQ(stereo.calls.back(), P(25600, 51200));
}

}  // namespace
}  // namespace ombrix::test
