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

// Records the stream level and the song gains; queues every song it is offered and reports
// the song heard.
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
    }
    void enableEffects(bool) override {}
    void enableEqualizer(bool) override {}
    bool startRecording(const QString&) override { return true; }
    void stopRecording() override {}
    int queueNext(const QString&, int32_t) override {
        queuedGain = nextGain;
        return 1;
    }
    bool cancelNext() override { return true; }
    int songNumber() override { return song; }
    void setSongGain(bool current, double gain) override {
        (current ? currentGain : nextGain) = gain;
        ++gains;
    }

    int left = -1, right = -1, ms = 0, song = 0, gains = 0;
    double nextGain = -1, currentGain = -1, queuedGain = -1;
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

// The gain is the decoder's, given with the song: the user's level on the stream stays as it is.
TEST_F(ReplayGainControllerTest, ATaggedSongIsPlayedAtItsGainAndTheStreamKeepsTheUsersLevel) {
    OMBRIX_NEED_MEDIA();
    c.setVolume(127);
    c.setPlaylist({plain, tagged});
    c.playEntry(0);
    EXPECT_EQ(decoder.nextGain, 1.0);
    c.stop();
    c.playEntry(1);
    EXPECT_NEAR(decoder.nextGain, 0.5, 0.001);
    EXPECT_EQ(decoder.left, OutputLevel::streamLevel(127 * 512));
    EXPECT_EQ(decoder.left, decoder.right);

    // A change of the setting reaches the song playing; off gives its own samples.
    rig.store->change([](PlayerSettings& s) { s.replaygain = 0; });
    EXPECT_EQ(decoder.currentGain, 1.0);
    rig.store->change([](PlayerSettings& s) {
        s.replaygain = 1;
        s.replaygainpreamp = 3;
    });
    EXPECT_NEAR(decoder.currentGain, 0.5 * std::pow(10.0, 3 / 20.0), 0.001);
    const int gains = decoder.gains;
    rig.store->change([](PlayerSettings& s) { s.coolbar = !s.coolbar; });
    EXPECT_EQ(decoder.gains, gains) << "other settings leave the gain alone";
    c.stop();

    // A song without values gets the default gain, which may raise it.
    rig.store->change([](PlayerSettings& s) { s.replaygaindefault = 6; });
    c.playEntry(0);
    EXPECT_NEAR(decoder.nextGain, std::pow(10.0, 6 / 20.0), 0.001);
    c.stop();
}

TEST_F(ReplayGainControllerTest, ASongThatFollowsOnTheStreamBringsItsOwnGain) {
    OMBRIX_NEED_MEDIA();
    rig.store->change([](PlayerSettings& s) { s.dontsleep = true; });
    c.setVolume(127);
    c.setPlaylist({plain, tagged});
    c.playEntry(0);
    tick(5);
    decoder.ms = 9500;  // near the end: the tagged song is queued with its gain
    tick(5);
    EXPECT_NEAR(decoder.queuedGain, 0.5, 0.001);
    EXPECT_EQ(decoder.currentGain, -1) << "the playing song keeps its gain";
    decoder.song = 1;
    decoder.ms = 100;
    tick(5);
    ASSERT_EQ(c.currentIndex(), 1);
    EXPECT_EQ(decoder.currentGain, -1) << "the decoder switched at the song's first sample";
    // The setting changes the gain of the song that followed, which is now the one playing.
    rig.store->change([](PlayerSettings& s) { s.replaygainpreamp = -6; });
    EXPECT_NEAR(decoder.currentGain, 0.5 * std::pow(10.0, -6 / 20.0), 0.001);
    c.stop();
}

// A recording keeps the song's own samples, whether armed before the song or while it plays.
TEST_F(ReplayGainControllerTest, ARecordingIsMadeWithoutTheGain) {
    OMBRIX_NEED_MEDIA();
    c.setPlaylist({tagged, tagged});
    c.armExport(rig.home.filePath("image.wav"));
    c.playEntry(0);
    EXPECT_EQ(decoder.nextGain, 1.0);
    c.stop();
    c.playEntry(1);
    EXPECT_NEAR(decoder.nextGain, 0.5, 0.001);
    c.armExport(rig.home.filePath("rest.wav"));
    EXPECT_EQ(decoder.currentGain, 1.0);
    c.stop();
}

}  // namespace
}  // namespace ombrix::test
