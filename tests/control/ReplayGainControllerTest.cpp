// The song's loudness factor reaches the level the controller sets for its own stream: when a
// song opens, when a queued song follows on the stream, and when the setting changes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <cmath>

#include "ombrix/control/DecoderControl.h"
#include "ombrix/control/OutputLevel.h"
#include "support/ControllerRig.h"
#include "support/FakeMixer.h"

namespace ombrix::test {
namespace {

// Records the stream level; queues every song it is offered and reports the song heard.
struct LevelDecoder final : DecoderControl {
    int totalMs(const QString&, int32_t) override { return 14000; }
    void pause(bool) override {}
    void seekFrames(int) override {}
    void seekFraction(double) override {}
    double where() override { return 0; }
    int currentMs() override { return ms; }
    void setOutputLevel(int l, int r) override {
        left = l;
        right = r;
        ++levels;
    }
    void enableEffects(bool) override {}
    void enableEqualizer(bool) override {}
    bool startRecording(const QString&) override { return true; }
    void stopRecording() override {}
    int queueNext(const QString&, int32_t) override { return 1; }
    bool cancelNext() override { return true; }
    int songNumber() override { return song; }

    int left = -1, right = -1, levels = 0, ms = 0, song = 0;
};

// -6.02 dB: half the amplitude.
const QByteArray kHalfGain = QByteArray::number(-20.0 * std::log10(2.0), 'f', 4) + " dB";

QString taggedCopy(const QString& path, const QByteArray& gain) {
    const QByteArray frame =
        id3v2Frame(4, "TXXX", QByteArray("REPLAYGAIN_TRACK_GAIN") + '\0' + gain);
    writeFile(path, id3v2(4, frame) + readFile(media().mp3Long));
    return path;
}

class ReplayGainControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        plain = rig.home.filePath("plain.mp3");
        QFile::copy(media().mp3Long, plain);
        tagged = taggedCopy(rig.home.filePath("tagged.mp3"), kHalfGain);
    }
    void tick(int n) {
        for (int i = 0; i < n; ++i) {
            rig.clock.advance(100);
            c.tick100();
            if (rig.clock.ms % 500 == 0) c.tick500();
        }
    }
    LevelDecoder decoder;
    ControllerRig rig;
    PlaybackController c{*rig.store, *rig.resolver, rig.clock, rig.host, nullptr, &decoder};
    QString plain, tagged;
};

TEST_F(ReplayGainControllerTest, ATaggedSongIsSentAtItsGainTimesTheUsersLevel) {
    OMBRIX_NEED_MEDIA();
    c.setVolume(127);
    c.setPlaylist({plain, tagged});
    c.playEntry(0);
    const int users = decoder.left;
    EXPECT_EQ(users, OutputLevel::streamLevel(127 * 512));
    c.stop();
    c.playEntry(1);
    EXPECT_NEAR(double(decoder.left) / users, 0.5, 0.002);
    EXPECT_EQ(decoder.left, decoder.right);

    // The fader is heard with the gain; switching the levelling off gives the user's level.
    c.setVolume(64);
    const int lowered = OutputLevel::streamLevel(64 * 512);
    EXPECT_NEAR(double(decoder.left) / lowered, 0.5, 0.01);
    rig.store->change([](PlayerSettings& s) { s.replaygain = 0; });
    EXPECT_EQ(decoder.left, lowered);
    rig.store->change([](PlayerSettings& s) {
        s.replaygain = 1;
        s.replaygainpreamp = 3;
    });
    EXPECT_NEAR(double(decoder.left) / lowered, 0.5 * std::pow(10.0, 3 / 20.0), 0.01);
    c.stop();

    // A song without values gets the default gain; a positive one cannot pass full level.
    rig.store->change([](PlayerSettings& s) { s.replaygaindefault = -6; });
    c.playEntry(0);
    EXPECT_NEAR(double(decoder.left) / lowered, std::pow(10.0, -6 / 20.0), 0.01);
    c.stop();
    rig.store->change([](PlayerSettings& s) { s.replaygaindefault = 6; });
    c.setVolume(127);
    c.playEntry(0);
    EXPECT_EQ(decoder.left, 0x10000);
    c.stop();
}

TEST_F(ReplayGainControllerTest, ASongThatFollowsOnTheStreamBringsItsOwnGain) {
    OMBRIX_NEED_MEDIA();
    rig.store->change([](PlayerSettings& s) { s.dontsleep = true; });
    c.setVolume(127);
    c.setPlaylist({plain, tagged});
    c.playEntry(0);
    tick(5);
    const int full = decoder.left;
    decoder.ms = 9500;  // near the end: the tagged song is queued
    tick(5);
    EXPECT_EQ(decoder.left, full) << "the level changes only when the next song is heard";
    decoder.song = 1;
    decoder.ms = 100;
    tick(1);
    ASSERT_EQ(c.currentIndex(), 1);
    EXPECT_NEAR(double(decoder.left) / full, 0.5, 0.002);
    c.stop();
}

// With the system mixer in use the volume goes there, and only the gain is on the stream.
TEST_F(ReplayGainControllerTest, WithTheSystemMixerOnlyTheGainIsOnTheStream) {
    OMBRIX_NEED_MEDIA();
    FakeMixer mixer;
    mixer.devices = 1;
    mixer.open(0, 0, 0);
    rig.store->change([](PlayerSettings& s) { s.usemixer = true; });
    c.setMixer(&mixer);
    c.setVolume(64);
    const size_t mixerCalls = mixer.calls.size();
    c.setPlaylist({tagged});
    c.playEntry(0);
    EXPECT_NEAR(decoder.left / 65536.0, 0.5, 0.002);
    EXPECT_EQ(mixer.calls.size(), mixerCalls) << "a song start leaves the system mixer alone";
    c.stop();
    c.setMixer(nullptr);
}

}  // namespace
}  // namespace ombrix::test
