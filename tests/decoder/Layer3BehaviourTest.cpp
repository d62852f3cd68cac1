// Equaliser and volume on whole Layer III streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "DecodeSupport.h"
#include "core/DecoderSettings.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"
#include "output/CaptureAudioDevice.h"

using namespace ombrix::mp3;
using namespace ombrix::test;

namespace {

bool silent(const std::vector<int16_t>& samples) {
    return std::all_of(samples.begin(), samples.end(), [](int16_t v) { return v == 0; });
}

}  // namespace

TEST(Layer3Equaliser, ZeroGainsSilenceAndUnitGainsChangeNothing) {
    const DecodedPcm plain = decodeFile(bitstream("l3-compl"));
    const DecodedPcm unit = decodeFile(bitstream("l3-compl"), {.eqEnabled = true, .eqGain = 1});
    const DecodedPcm zero = decodeFile(bitstream("l3-compl"), {.eqEnabled = true, .eqGain = 0});
    ASSERT_FALSE(plain.samples.empty());
    EXPECT_EQ(plain.samples, unit.samples);
    ASSERT_EQ(zero.samples.size(), plain.samples.size());
    EXPECT_TRUE(silent(zero.samples));
}

TEST(Layer3Volume, ZeroIsSilentAndDoubleVolumeDoublesAndClips) {
    const DecodedPcm a = decodeFile(bitstream("l3-sin1k0db"));
    const DecodedPcm d = decodeFile(bitstream("l3-sin1k0db"), {.volume = 65536});
    EXPECT_TRUE(silent(decodeFile(bitstream("l3-sin1k0db"), {.volume = 0}).samples));
    ASSERT_EQ(a.samples.size(), d.samples.size());
    size_t clipped = 0;
    for (size_t i = 0; i < a.samples.size(); ++i) {
        const int expected = std::clamp(2 * a.samples[i], -32768, 32767);
        ASSERT_LE(std::abs(d.samples[i] - expected), 2) << i;
        if (d.samples[i] == 32767 || d.samples[i] == -32768) ++clipped;
    }
    EXPECT_GT(clipped, a.samples.size() / 10);  // a 0 dB sine doubled clips often
}

TEST(Layer3Volume, MmxWithoutAFollowingVolumeIsSilent) {
    DecoderSettings settings;
    settings.setVolume(32768);
    settings.enableMmx(true);  // the 16-bit window is built by the next volume call only
    std::vector<int16_t> samples;
    CaptureAudioDevice device([&](const PcmFormat&, const int16_t* s, size_t count) {
        samples.insert(samples.end(), s, s + count);
    });
    PlaybackControl control;
    Playback playback(settings, control, EffectsHooks{});
    ASSERT_EQ(playback.run(bitstream("l3-compl"), 0, &device), Playback::kFinished);
    ASSERT_FALSE(samples.empty());
    EXPECT_TRUE(silent(samples));
}
