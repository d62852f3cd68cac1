// PCM from a caller's source through the playback machinery: what reaches the device is the
// source's samples (mixed down where it has more than two channels), seeks land on the frame
// asked for, and sources that cannot be played are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "core/DecoderSettings.h"
#include "core/PcmPlayback.h"
#include "core/PlaybackControl.h"
#include "mp3.h"
#include "output/CaptureAudioDevice.h"

namespace ombrix::test {
namespace {

using mp3::CaptureAudioDevice;
using mp3::DecoderSettings;
using mp3::EffectsHooks;
using mp3::kPcmFrameSamples;
using mp3::PcmFormat;
using mp3::PcmPlayback;
using mp3::PlaybackControl;

// Frames held in memory; every sample is its frame number and channel, so any sample that
// arrives out of place shows.
struct MemorySource {
    int channels = 2;
    int rate = 44100;
    std::vector<int16_t> samples;
    int64_t at = 0;
    std::function<void(int64_t)> onRead;  // called with the frame before each read
    bool failSeek = false;

    static int16_t sampleOf(int64_t frame, int channel) {
        return static_cast<int16_t>((frame * 7 + channel * 1000) % 30000 - 15000);
    }
    MemorySource(int ch, int64_t frames) : channels(ch) {
        for (int64_t f = 0; f < frames; ++f)
            for (int c = 0; c < ch; ++c) samples.push_back(sampleOf(f, c));
    }
    int64_t frames() const { return static_cast<int64_t>(samples.size()) / channels; }

    OmbrixPcmSource c() {
        OmbrixPcmSource s{};
        s.context = this;
        s.channels = channels;
        s.sampleRate = rate;
        s.totalFrames = frames();
        s.read = [](void* ctx, int16_t* out, int32_t count) -> int32_t {
            auto* self = static_cast<MemorySource*>(ctx);
            if (self->onRead) self->onRead(self->at);
            const int64_t n = std::min<int64_t>(count, self->frames() - self->at);
            std::copy_n(self->samples.begin() + self->at * self->channels, n * self->channels, out);
            self->at += n;
            return static_cast<int32_t>(n);
        };
        s.seek = [](void* ctx, int64_t frame) -> int32_t {
            auto* self = static_cast<MemorySource*>(ctx);
            if (self->failSeek || frame > self->frames()) return -1;
            self->at = frame;
            return 0;
        };
        return s;
    }
};

struct Captured {
    PcmFormat format;
    std::vector<int16_t> samples;
};

Captured play(MemorySource& source, int32_t startMs = 0, PlaybackControl* control = nullptr) {
    DecoderSettings settings;
    PlaybackControl own;
    PlaybackControl& ctl = control ? *control : own;
    Captured out;
    CaptureAudioDevice device([&](const PcmFormat& f, const int16_t* s, size_t n) {
        out.format = f;
        out.samples.insert(out.samples.end(), s, s + n);
    });
    PcmPlayback playback(settings, ctl, EffectsHooks{});
    const OmbrixPcmSource c = source.c();
    EXPECT_EQ(playback.run(c, startMs, &device), mp3::Playback::kFinished);
    return out;
}

TEST(PcmPlaybackTest, MonoAndStereoReachTheDeviceSampleForSample) {
    for (int channels : {1, 2}) {
        // Not a whole number of frames or blocks: the last partial frame is kept exactly.
        MemorySource source(channels, kPcmFrameSamples * 30 + 517);
        const Captured out = play(source);
        EXPECT_EQ(out.format.channels, channels);
        EXPECT_EQ(out.format.rate, 44100);
        EXPECT_EQ(out.samples, source.samples) << channels << " channels";
    }
}

TEST(PcmPlaybackTest, WideLayoutsAreMixedDownWithoutClipping) {
    // 5.1: left, right, centre, low frequencies, back left, back right.
    const int16_t frame[6] = {1000, -1000, 2000, 30000, 400, -400};
    int32_t out[2];
    mp3::mixToOutput(frame, 6, 1, out);
    const double w = std::sqrt(0.5);
    const double sum = 1 + w + w;
    EXPECT_NEAR(out[0], (1000 + 2000 * w + 400 * w) / sum, 1.0);
    EXPECT_NEAR(out[1], (-1000 + 2000 * w - 400 * w) / sum, 1.0);

    const int16_t loud[8] = {32767, 32767, 32767, 32767, 32767, 32767, 32767, 32767};
    for (int channels = 3; channels <= 8; ++channels) {
        mp3::mixToOutput(loud, channels, 1, out);
        EXPECT_LE(out[0], 32767) << channels;
        EXPECT_GE(out[0], 32766) << channels;
        EXPECT_EQ(out[0], out[1]) << channels;
    }

    MemorySource six(6, kPcmFrameSamples * 3);
    const Captured played = play(six);
    EXPECT_EQ(played.format.channels, 2);
    EXPECT_EQ(played.samples.size(), size_t(kPcmFrameSamples) * 3 * 2);
}

TEST(PcmPlaybackTest, StartAndSeekLandOnTheFrameAskedFor) {
    MemorySource source(2, kPcmFrameSamples * 40);
    // 20 frames of 1152 at 44.1 kHz begin at 522.4 ms: 523 ms starts there.
    const Captured fromStart = play(source, 523);
    ASSERT_FALSE(fromStart.samples.empty());
    EXPECT_EQ(fromStart.samples.front(), MemorySource::sampleOf(20 * kPcmFrameSamples, 0));
    EXPECT_EQ(fromStart.samples.size(), size_t(kPcmFrameSamples) * 20 * 2);

    // A seek back to frame 5 asked while frame 30 is read: what follows starts there.
    MemorySource again(2, kPcmFrameSamples * 40);
    PlaybackControl control;
    bool asked = false;
    again.onRead = [&](int64_t at) {
        if (!asked && at == 30 * kPcmFrameSamples) {
            asked = true;
            control.requestSeek(5);
        }
    };
    const Captured seeked = play(again, 0, &control);
    ASSERT_TRUE(asked);
    // Blocks before the seek went out whole; the seek drops only what was still being filled.
    const size_t tail = size_t(kPcmFrameSamples) * 35 * 2;
    ASSERT_GE(seeked.samples.size(), tail);
    const std::vector<int16_t> last(seeked.samples.end() - static_cast<ptrdiff_t>(tail),
                                    seeked.samples.end());
    EXPECT_EQ(last, std::vector<int16_t>(again.samples.begin() + 5 * kPcmFrameSamples * 2,
                                         again.samples.end()));
}

TEST(PcmPlaybackTest, UnusableSourcesAreRefusedAndFailingOnesEnd) {
    MemorySource source(2, kPcmFrameSamples);
    OmbrixPcmSource c = source.c();
    EXPECT_EQ(OmbrixPlayPcm(nullptr, 0, 1), -1);
    for (auto spoil : std::vector<std::function<void(OmbrixPcmSource&)>>{
             [](OmbrixPcmSource& s) { s.read = nullptr; },
             [](OmbrixPcmSource& s) { s.seek = nullptr; },
             [](OmbrixPcmSource& s) { s.channels = 0; }, [](OmbrixPcmSource& s) { s.channels = 9; },
             [](OmbrixPcmSource& s) { s.sampleRate = 0; },
             [](OmbrixPcmSource& s) { s.sampleRate = 384000; }}) {
        OmbrixPcmSource bad = c;
        spoil(bad);
        EXPECT_EQ(OmbrixPlayPcm(&bad, 0, 1), -1);
    }
    // A read that fails ends the song like its end; an empty source plays nothing.
    c.read = [](void*, int16_t*, int32_t) -> int32_t { return -1; };
    EXPECT_EQ(OmbrixPlayPcm(&c, 0, 1), 1);
    MemorySource empty(2, 0);
    EXPECT_TRUE(play(empty).samples.empty());
    // A start that the source cannot seek to plays from the beginning.
    MemorySource stubborn(1, kPcmFrameSamples * 4);
    stubborn.failSeek = true;
    EXPECT_EQ(play(stubborn, 60).samples, stubborn.samples);
}

}  // namespace
}  // namespace ombrix::test
