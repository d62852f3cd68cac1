// The controller's rules for songs of the media control, against a fake device whose position
// and mode the test sets: the play range, seeks in milliseconds, the end of a song when the
// device stops, and failures that must not cost the playlist.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "ombrix/media/MediaControl.h"
#include "ombrix/media/PcmSource.h"
#include "support/ControllerRig.h"

namespace ombrix::test {
namespace {

class FakeMediaControl final : public MediaControl {
public:
    void open(const QString& file, const Options&) override {
        calls << "open " + QFileInfo(file).fileName();
        if (failOpen) throw MediaError("no audio in the file");
        m = Mode::Stopped;
        position = 0;
    }
    void play() override {
        calls << "play";
        m = Mode::Playing;
    }
    void pause() override {
        calls << "pause";
        m = Mode::Paused;
    }
    void resume() override {
        calls << "resume";
        m = Mode::Playing;
    }
    void stop() override {
        calls << "stop";
        m = Mode::Stopped;
    }
    void close() override {
        calls << "close";
        m = Mode::NotReady;
    }
    void seek(int ms) override {
        calls << QString("seek %1").arg(ms);
        position = ms;
    }
    int positionMs() override { return position; }
    int lengthMs() const override { return length; }
    Mode mode() override { return m; }
    bool deviceFailed() const override { return noDevice; }

    QStringList calls;
    Mode m = Mode::NotReady;
    int position = 0;
    int length = 60000;
    bool failOpen = false;
    bool noDevice = false;
};

class MediaControllerTest : public ::testing::Test {
protected:
    MediaControllerTest() {
        rig.controller = std::make_unique<PlaybackController>(*rig.store, *rig.resolver, rig.clock,
                                                              rig.host, nullptr, nullptr, &fake);
        rig.store->change([](PlayerSettings& s) {
            s.dontsleep = true;
            s.autorepeat1 = false;
        });
        for (int i = 0; i < 3; ++i) {
            const QString path = rig.home.filePath(QString("tune%1.wav").arg(i));
            writeFile(path, pcmWave(10));
            songs << path;
        }
    }
    ~MediaControllerTest() override { rig.controller.reset(); }

    PlaybackController& c() { return *rig.controller; }
    // The calls since the last look.
    QStringList takeCalls() { return std::exchange(fake.calls, {}); }

    FakeMediaControl fake;
    ControllerRig rig;
    QStringList songs;
};

TEST_F(MediaControllerTest, SongsOpenStartAndShowTheirPositionOverTheWholeLength) {
    c().setPlaylist(songs);
    c().playEntry(0);
    EXPECT_EQ(takeCalls(), QStringList({"open tune0.wav", "play"}));
    PlayerState st = c().state();
    EXPECT_TRUE(st.playing);
    EXPECT_EQ(st.positionScale, 59999);
    EXPECT_EQ(st.lengthMs, 60000);

    fake.position = 12500;
    rig.ticks(5);
    st = c().state();
    EXPECT_EQ(st.elapsedMs, 12500);
    EXPECT_EQ(st.position, 12500);
    EXPECT_EQ(c().currentIndex(), 0);

    c().pause();
    c().resume();
    c().stop();
    EXPECT_EQ(takeCalls(), QStringList({"pause", "resume", "stop", "close"}));
}

TEST_F(MediaControllerTest, SeeksMoveInStepsOf5000MsAndNeverPastTheEnd) {
    c().setPlaylist(songs);
    c().playEntry(0);
    takeCalls();

    // The first forward step is two units, and a held button doubles it every 500 ms tick.
    fake.position = 10000;
    c().seekForward();
    EXPECT_EQ(takeCalls(), QStringList({"seek 20000"}));
    rig.ticks(5);
    EXPECT_EQ(takeCalls(), QStringList({"seek 40000"}));
    // Eight units from 40000 passes the end: nothing happens, the song plays on.
    rig.ticks(5);
    EXPECT_TRUE(takeCalls().isEmpty());
    c().seekReleased();

    // Backwards past the start lands on the start.
    fake.position = 7000;
    c().seekBack();
    c().seekReleased();
    EXPECT_EQ(takeCalls(), QStringList({"seek 0"}));

    // The position bar: a fraction of the play range; its very end is still inside.
    c().seekTo(0.25);
    c().seekTo(1.0);
    EXPECT_EQ(takeCalls(), QStringList({"seek 15000", "seek 60000"}));
}

TEST_F(MediaControllerTest, ASongEndsWhenTheDeviceStopsAndTheNextOnePlays) {
    c().setPlaylist(songs);
    c().playEntry(1);
    // Paused is not stopped: the song stays.
    c().pause();
    fake.m = MediaControl::Mode::Paused;
    rig.ticks(10);
    c().resume();
    takeCalls();

    fake.m = MediaControl::Mode::Stopped;  // played to its end
    rig.ticks(5);
    EXPECT_EQ(c().currentIndex(), 2);
    EXPECT_TRUE(takeCalls().contains("open tune2.wav"));

    // The last entry ends the playlist: the player stops, the playlist stays.
    fake.m = MediaControl::Mode::Stopped;
    rig.ticks(5);
    EXPECT_FALSE(c().state().playing);
    EXPECT_EQ(c().playlist(), songs);
}

TEST_F(MediaControllerTest, FilesThatCannotBePlayedAreSkippedAndADeadDeviceStops) {
    c().setPlaylist(songs);
    fake.failOpen = true;
    c().playEntry(0);
    EXPECT_EQ(c().state().statusText, "no audio in the file");
    fake.failOpen = false;
    rig.ticks(5);
    EXPECT_EQ(c().currentIndex(), 1);
    EXPECT_TRUE(c().state().playing);
    EXPECT_EQ(c().playlist(), songs);

    fake.noDevice = true;
    fake.m = MediaControl::Mode::Stopped;
    rig.ticks(5);
    const PlayerState st = c().state();
    EXPECT_FALSE(st.playing);
    EXPECT_EQ(st.line1, "sound device is busy");
    EXPECT_EQ(c().currentIndex(), 1);
    EXPECT_EQ(c().playlist(), songs);
}

}  // namespace
}  // namespace ombrix::test

namespace ombrix::test {
namespace {

// The real media control behind the controller: a playlist of sound files, MIDI and a damaged
// file plays through to its end, and the damaged entry costs only itself.
TEST(RealMediaControllerTest, APlaylistOfSoundFilesAndMidiPlaysThrough) {
    ControllerRig rig;
    rig.store->change([](PlayerSettings& s) {
        s.dontsleep = true;
        s.autorepeat1 = false;
    });
    const QStringList entries{rig.home.filePath("damaged.flac"), rig.home.filePath("tone.wav"),
                              rig.home.filePath("tune.mid"), rig.home.filePath("cut.mid")};
    writeFile(entries[0], "fLaC but nothing after it");
    writeFile(entries[1], pcmWave(600, {440}, 8000));
    writeFile(entries[2], midiTune());
    writeFile(entries[3], midiTune().left(40));
    PlaybackController& c = *rig.controller;
    c.setPlaylist(entries);
    c.playEntry(0);
    EXPECT_EQ(c.state().statusText, "file is not accesible or corrupt");

    QStringList heard;
    ASSERT_TRUE(rig.tickUntil(
        [&] {
            const PlayerState st = c.state();
            if (st.playing && st.elapsedMs > 0 && !heard.contains(st.currentFile))
                heard << st.currentFile;
            return !st.playing && c.currentIndex() == 3;
        },
        30000));
    EXPECT_TRUE(heard.contains(entries[1]));
    if (!findSoundFont({}).isEmpty()) EXPECT_TRUE(heard.contains(entries[2]));
    EXPECT_EQ(c.playlist(), entries);
    if (!findSoundFont({}).isEmpty()) EXPECT_EQ(c.state().statusText, "the midi file is damaged");
}

}  // namespace
}  // namespace ombrix::test

namespace ombrix::test {
namespace {

// An export armed while nothing plays records the next song, a sound file as an MPEG one.
TEST(RealMediaControllerTest, AnArmedExportRecordsASoundFile) {
    ControllerRig rig;
    rig.store->change([](PlayerSettings& s) { s.autorepeat1 = false; });
    const QString song = rig.home.filePath("tone.wav");
    writeFile(song, pcmWave(1000, {440}, 8000));
    PlaybackController& c = *rig.controller;
    c.setPlaylist({song});
    const QString image = rig.home.filePath("image.wav");
    c.armExport(image);
    ASSERT_TRUE(c.state().recording);
    c.playEntry(0);
    ASSERT_TRUE(rig.tickUntil([&] { return !c.state().playing; }));
    EXPECT_FALSE(c.state().recording);
    // One second of 44.1 kHz stereo 16-bit audio is 176,400 bytes.
    EXPECT_GE(QFileInfo(image).size(), 176400);
}

}  // namespace
}  // namespace ombrix::test
