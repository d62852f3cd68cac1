// PCM from a caller's source through the playback machinery: what reaches the device is the
// source's samples (mixed down where it has more than two channels), starts and seeks land on
// the frame asked for, and sources that cannot be played are refused.
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

using mp3::kPcmFrameSamples;

// Frames in memory whose every sample tells its frame and channel, so a sample out of place
// shows.
struct MemorySource {
    MemorySource(int ch, int64_t frames) : channels(ch) {
        for (int64_t i = 0; i < frames * ch; ++i) samples.push_back(int16_t(i * 7 % 30000 - 15000));
    }
    int64_t frames() const { return int64_t(samples.size()) / channels; }
    std::vector<int16_t> from(int64_t frame) const {
        return {samples.begin() + frame * channels, samples.end()};
    }
    OmbrixPcmSource c() {
        OmbrixPcmSource s{this, channels, 44100, frames(), nullptr, nullptr};
        s.read = [](void* ctx, int16_t* out, int32_t count) -> int32_t {
            auto* self = static_cast<MemorySource*>(ctx);
            if (self->onRead) self->onRead(self->at);
            const int64_t n = std::min<int64_t>(count, self->frames() - self->at);
            std::copy_n(self->samples.begin() + self->at * self->channels, n * self->channels, out);
            self->at += n;
            return int32_t(n);
        };
        s.seek = [](void* ctx, int64_t frame) -> int32_t {
            auto* self = static_cast<MemorySource*>(ctx);
            if (self->failSeek) return -1;
            self->at = frame;
            return 0;
        };
        return s;
    }

    int channels;
    std::vector<int16_t> samples;
    int64_t at = 0;
    std::function<void(int64_t)> onRead;  // with the frame about to be read
    bool failSeek = false;
};

// What the device is given, with the format it was opened for.
std::vector<int16_t> play(MemorySource& source, int32_t startMs = 0,
                          mp3::PlaybackControl* control = nullptr, int* channels = nullptr) {
    mp3::DecoderSettings settings;
    mp3::PlaybackControl own;
    std::vector<int16_t> out;
    mp3::CaptureAudioDevice device([&](const mp3::PcmFormat& f, const int16_t* s, size_t n) {
        if (channels) *channels = f.channels;
        out.insert(out.end(), s, s + n);
    });
    mp3::PcmPlayback playback(settings, control ? *control : own, mp3::EffectsHooks{});
    EXPECT_EQ(playback.run(source.c(), startMs, &device), mp3::Playback::kFinished);
    return out;
}

TEST(PcmPlaybackTest, MonoAndStereoReachTheDeviceSampleForSample) {
    for (int channels : {1, 2}) {
        // Not a whole number of frames or blocks: the last partial frame is kept exactly.
        MemorySource source(channels, kPcmFrameSamples * 30 + 517);
        int opened = 0;
        EXPECT_EQ(play(source, 0, nullptr, &opened), source.samples);
        EXPECT_EQ(opened, channels);
    }
}

TEST(PcmPlaybackTest, WideLayoutsAreMixedDownToStereoWithoutClipping) {
    // 5.1: left, right, centre, low frequencies (left out), back left, back right.
    const int16_t frame[6] = {1000, -1000, 2000, 30000, 400, -400};
    int32_t out[2];
    mp3::mixToOutput(frame, 6, 1, out);
    const double w = std::sqrt(0.5), sum = 1 + w + w;
    EXPECT_NEAR(out[0], (1000 + 2000 * w + 400 * w) / sum, 1.0);
    EXPECT_NEAR(out[1], (-1000 + 2000 * w - 400 * w) / sum, 1.0);
    const int16_t loud[8] = {32767, 32767, 32767, 32767, 32767, 32767, 32767, 32767};
    for (int channels = 3; channels <= 8; ++channels) {
        mp3::mixToOutput(loud, channels, 1, out);
        EXPECT_TRUE(out[0] >= 32766 && out[0] <= 32767 && out[1] == out[0]) << channels;
    }
}

TEST(PcmPlaybackTest, StartsAndSeeksLandOnTheFrameAskedFor) {
    // Frame 20 of 1152 at 44.1 kHz begins at 522.4 ms, so 523 ms starts there.
    MemorySource source(2, kPcmFrameSamples * 40);
    EXPECT_EQ(play(source, 523), source.from(20 * kPcmFrameSamples));

    // A seek back to frame 5, asked while frame 30 is read: the blocks before it went out
    // whole, and what follows starts at frame 5.
    MemorySource again(2, kPcmFrameSamples * 40);
    mp3::PlaybackControl control;
    bool asked = false;
    again.onRead = [&](int64_t at) {
        if (asked || at != 30 * kPcmFrameSamples) return;
        asked = true;
        control.requestSeek(5);
    };
    const std::vector<int16_t> out = play(again, 0, &control);
    const std::vector<int16_t> tail = again.from(5 * kPcmFrameSamples);
    ASSERT_GT(out.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), out.end() - ptrdiff_t(tail.size())));

    // A start the source cannot seek to plays from the beginning.
    MemorySource stubborn(1, kPcmFrameSamples * 4);
    stubborn.failSeek = true;
    EXPECT_EQ(play(stubborn, 60), stubborn.samples);
}

TEST(PcmPlaybackTest, UnusableSourcesAreRefusedAndFailingOnesEnd) {
    MemorySource source(2, kPcmFrameSamples);
    EXPECT_EQ(OmbrixPlayPcm(nullptr, 0, 1), -1);
    const std::vector<std::function<void(OmbrixPcmSource&)>> spoil{[](OmbrixPcmSource& s) { s.read = nullptr; },
                                                                   [](OmbrixPcmSource& s) { s.seek = nullptr; },
                                                                   [](OmbrixPcmSource& s) { s.channels = 0; },
                                                                   [](OmbrixPcmSource& s) { s.channels = 9; },
                                                                   [](OmbrixPcmSource& s) { s.sampleRate = 0; },
                                                                   [](OmbrixPcmSource& s) { s.sampleRate = 384000; }};
    for (const auto& bad : spoil) {
        OmbrixPcmSource s = source.c();
        bad(s);
        EXPECT_EQ(OmbrixPlayPcm(&s, 0, 1), -1);
    }
    // A read that fails ends the song like its end; an empty source plays nothing.
    OmbrixPcmSource failing = source.c();
    failing.read = [](void*, int16_t*, int32_t) -> int32_t { return -1; };
    EXPECT_EQ(OmbrixPlayPcm(&failing, 0, 1), 1);
    MemorySource empty(2, 0);
    EXPECT_TRUE(play(empty).empty());
}

}  // namespace
}  // namespace ombrix::test
