// The controller's rules for songs of the media control, first against a fake device whose
// position and mode the test sets, then against the real one.
#include <gtest/gtest.h>

#include "ombrix/media/MediaControl.h"
#include "ombrix/media/PcmSource.h"
#include "support/ControllerRig.h"

namespace ombrix::test {
namespace {

using Mode = MediaControl::Mode;

class FakeMediaControl final : public MediaControl {
public:
    bool canPlay(const QString& file) const override { return hasPcmSource(file); }
    void open(const QString& file, const Options&) override {
        did("open " + QFileInfo(file).fileName(), Mode::NotReady);
        if (failOpen) throw MediaError("no audio in the file");
        m = Mode::Stopped;
        position = 0;
    }
    void play() override { did("play", Mode::Playing); }
    void pause() override { did("pause", Mode::Paused); }
    void resume() override { did("resume", Mode::Playing); }
    void stop() override { did("stop", Mode::Stopped); }
    void close() override { did("close", Mode::NotReady); }
    void seek(int ms) override { did(QString("seek %1").arg(position = ms), m); }
    int positionMs() override { return position; }
    int lengthMs() const override { return 60000; }
    Mode mode() override { return m; }
    bool deviceFailed() const override { return noDevice; }

    void did(const QString& call, Mode to) {
        calls << call;
        m = to;
    }
    QStringList taken() { return std::exchange(calls, {}); }

    QStringList calls;
    Mode m = Mode::NotReady;
    int position = 0;
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
            songs << rig.home.filePath(QString("tune%1.wav").arg(i));
            writeFile(songs.last(), pcmWave(10));
        }
        c().setPlaylist(songs);
    }
    ~MediaControllerTest() override { rig.controller.reset(); }

    PlaybackController& c() { return *rig.controller; }

    FakeMediaControl fake;
    ControllerRig rig;
    QStringList songs;
};

TEST_F(MediaControllerTest, TheDeviceIsDrivenOverItsPlayRangeAndNeverSoughtPastItsEnd) {
    c().playEntry(0);
    EXPECT_EQ(fake.taken(), QStringList({"open tune0.wav", "play"}));
    EXPECT_EQ(c().state().positionScale, 59999);
    fake.position = 10000;
    rig.ticks(5);
    EXPECT_EQ(c().state().elapsedMs, 10000);
    EXPECT_EQ(c().state().position, 10000);

    // The first forward step is two units of 5000 ms; a held button doubles it every 500 ms
    // tick, and the step that would pass the end is not taken.
    c().seekForward();
    rig.ticks(10);
    c().seekReleased();
    EXPECT_EQ(fake.taken(), QStringList({"seek 20000", "seek 40000"}));
    // Backwards past the start lands on the start; the position bar seeks within the range,
    // its very end included.
    fake.position = 7000;
    c().seekBack();
    c().seekReleased();
    c().seekTo(0.25);
    c().seekTo(1.0);
    EXPECT_EQ(fake.taken(), QStringList({"seek 0", "seek 15000", "seek 60000"}));

    c().pause();
    rig.ticks(10);  // paused is not stopped: the song stays
    c().resume();
    c().stop();
    EXPECT_EQ(fake.taken(), QStringList({"pause", "resume", "stop", "close"}));
}

TEST_F(MediaControllerTest, SongsEndWhenTheDeviceStopsAndFailuresCostNoEntry) {
    fake.failOpen = true;
    c().playEntry(0);
    EXPECT_EQ(c().state().statusText, "no audio in the file");
    fake.failOpen = false;
    rig.ticks(5);  // ends like a damaged MPEG file: the next one plays
    EXPECT_EQ(c().currentIndex(), 1);
    EXPECT_EQ(fake.m, Mode::Playing);

    fake.m = Mode::Stopped;  // played to its end
    rig.ticks(5);
    EXPECT_EQ(c().currentIndex(), 2);
    fake.noDevice = true;
    fake.m = Mode::Stopped;
    rig.ticks(5);
    EXPECT_FALSE(c().state().playing);
    EXPECT_EQ(c().state().line1, "sound device is busy");
    EXPECT_EQ(c().playlist(), songs);
}

// The real media control: sound files, MIDI and damaged files in one playlist play through,
// the damaged entries costing only themselves; an export armed while nothing plays records
// the next song.
TEST(RealMediaControllerTest, APlaylistOfSoundFilesAndMidiPlaysThroughAndIsRecorded) {
    ControllerRig rig;
    rig.store->change([](PlayerSettings& s) {
        s.dontsleep = true;
        s.autorepeat1 = false;
    });
    const QStringList entries{rig.home.filePath("damaged.flac"), rig.home.filePath("tone.wav"),
                              rig.home.filePath("tune.mid"), rig.home.filePath("cut.mid")};
    writeFile(entries[0], "fLaC but nothing after it");
    writeFile(entries[1], pcmWave(1000, {440}, 8000));
    writeFile(entries[2], midiTune());
    writeFile(entries[3], midiTune().left(40));
    const bool font = !findSoundFont({}).isEmpty();
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
    EXPECT_EQ(heard.first(), entries[1]);
    if (font) EXPECT_TRUE(heard.contains(entries[2]));
    if (font) EXPECT_EQ(c.state().statusText, "the midi file is damaged");
    EXPECT_EQ(c.playlist(), entries);

    const QString image = rig.home.filePath("image.wav");
    c.armExport(image);
    c.playEntry(1);
    ASSERT_TRUE(rig.tickUntil([&] { return !c.state().playing; }));
    EXPECT_GE(QFileInfo(image).size(), 176400);  // one second of 44.1 kHz stereo
}

// CD tracks of a disc image play from the track's own start, with the elapsed time from 0 and
// the track's length; an entry for a track the disc does not have is removed and the player
// stops; an empty drive is "cd not ready".
TEST(RealMediaControllerTest, CdTracksOfADiscImagePlayAndMissingTracksAreRemoved) {
    ControllerRig rig;
    rig.store->change([](PlayerSettings& s) { s.autorepeat1 = false; });
    const QString drive = rig.home.filePath("disc.cue");
    discImage(rig.home.path(), {75, 60, 90});
    const QStringList entries{drive + "/track03.cda", drive + "/track09.cda"};
    PlaybackController& c = *rig.controller;
    c.setPlaylist(entries);
    c.playEntry(0);
    EXPECT_EQ(c.state().lengthMs, 1200);
    int largest = 0;
    ASSERT_TRUE(rig.tickUntil(
        [&] {
            const PlayerState st = c.state();
            if (st.playing) {
                EXPECT_LE(st.elapsedMs, 1200);
                largest = std::max(largest, st.elapsedMs);
            }
            return c.playlist().size() == 1;
        },
        30000));
    EXPECT_GT(largest, 600);
    EXPECT_FALSE(c.state().playing);
    EXPECT_EQ(c.playlist(), QStringList{entries[0]});

    QFile::rename(drive, drive + ".away");
    c.playEntry(0);
    EXPECT_EQ(c.state().statusText, "cd not ready");
    EXPECT_EQ(c.playlist().size(), 1);
}

}  // namespace
}  // namespace ombrix::test
