// The octave equaliser measured on the engine's output: generated tones go through the block
// call and the level of each tone is read back with a Goertzel filter.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "MixoraEngine.h"
#include "mixora.h"

using mixora::MixoraEngine;

namespace {

constexpr int kBlockFrames = 1152;
constexpr int kOneK = 5;  // band index of 1 kHz

/// @p seconds of the sum of sines at @p hz, each of amplitude @p amplitude, interleaved over
/// @p channels channels (the right channel a little quieter, so that channels stay apart).
std::vector<int16_t> tones(std::vector<double> hz, int rate, double seconds, int channels,
                           double amplitude = 6000.0) {
    const int frames = static_cast<int>(seconds * rate);
    std::vector<int16_t> out(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        double v = 0.0;
        for (double f : hz) v += amplitude * std::sin(2.0 * std::numbers::pi * f * i / rate);
        for (int c = 0; c < channels; ++c)
            out[static_cast<size_t>(i) * channels + c] =
                static_cast<int16_t>(std::lround(c == 0 ? v : 0.8 * v));
    }
    return out;
}

/// Runs @p samples through @p engine block by block, as the decoder hands them over.
void run(MixoraEngine& engine, std::vector<int16_t>& samples, int channels) {
    const int frames = static_cast<int>(samples.size()) / channels;
    for (int done = 0; done < frames; done += kBlockFrames)
        engine.process(samples.data() + static_cast<size_t>(done) * channels,
                       std::min(kBlockFrames, frames - done), channels);
}

/// Level in dB of the tone at @p hz in channel @p channel, over the last half second.
double levelDb(const std::vector<int16_t>& x, int channels, int channel, double hz, int rate) {
    const size_t frames = x.size() / channels;
    const size_t first = frames - static_cast<size_t>(rate / 2);
    const double w = 2.0 * std::numbers::pi * hz / rate;
    double s1 = 0.0, s2 = 0.0;
    for (size_t i = first; i < frames; ++i) {
        const double s = x[i * channels + channel] + 2.0 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    const double power = s1 * s1 + s2 * s2 - 2.0 * std::cos(w) * s1 * s2;
    return 10.0 * std::log10(power + 1e-9);
}

/// How much the engine changes the tone at @p hz: output level minus input level, in dB.
double changeDb(MixoraEngine& engine, double hz, int rate, int channels = 2, int channel = 0) {
    std::vector<int16_t> x = tones({hz}, rate, 1.0, channels);
    const double before = levelDb(x, channels, channel, hz, rate);
    run(engine, x, channels);
    return levelDb(x, channels, channel, hz, rate) - before;
}

class OctaveEqualizerTest : public ::testing::Test {
protected:
    MixoraEngine engine;
    std::mt19937 rng{7};

    void flat() {
        for (int b = 0; b < 10; ++b) engine.setOctaveGain(b, 0.0f);
    }
    bool passesUnchanged(int channels = 2) {
        std::uniform_int_distribution<int> d(-20000, 20000);
        std::vector<int16_t> block(static_cast<size_t>(kBlockFrames) * channels);
        for (auto& s : block) s = static_cast<int16_t>(d(rng));
        const auto copy = block;
        engine.process(block.data(), kBlockFrames, channels);
        return block == copy;
    }
    /// Enough blocks for gains to glide home and the filters' memory to fade (half a second).
    void settle(int channels = 2) {
        for (int i = 0; i < 20; ++i) passesUnchanged(channels);
    }
};

TEST_F(OctaveEqualizerTest, CuttingOneBandLowersItsToneByTwelveDecibelsAndNotTheDistantOnes) {
    engine.enableOctaveEq(true);
    engine.setOctaveGain(kOneK, -12.0f);
    for (int channel = 0; channel < 2; ++channel) {
        EXPECT_NEAR(changeDb(engine, 1000, 44100, 2, channel), -12.0, 0.5) << channel;
        EXPECT_NEAR(changeDb(engine, 125, 44100, 2, channel), 0.0, 1.0) << channel;
        EXPECT_NEAR(changeDb(engine, 8000, 44100, 2, channel), 0.0, 1.0) << channel;
    }
    // Each band hits its own centre.
    flat();
    settle();
    for (int band = 0; band < 10; ++band) {
        const double hz = mixora::OctaveEqualizer::kCentresHz[band];
        engine.setOctaveGain(band, -12.0f);
        EXPECT_NEAR(changeDb(engine, hz, 44100), -12.0, 0.5) << hz << " Hz";
        engine.setOctaveGain(band, 0.0f);
        settle();
    }
    // A boost is heard as a boost of the band against the rest: the whole is lowered by the
    // boost, so the boosted band stays where it was and the others drop.
    engine.setOctaveGain(kOneK, 12.0f);
    EXPECT_NEAR(changeDb(engine, 1000, 44100), 0.0, 0.5);
    EXPECT_NEAR(changeDb(engine, 125, 44100), -12.0, 1.0);
}

TEST_F(OctaveEqualizerTest, TonesBetweenBandsSurvivePullingDownTheBandsThatDoNotHoldThem) {
    // 440 and 660 Hz lie between the 250, 500 and 1000 Hz centres.
    engine.enableOctaveEq(true);
    for (int band : {0, 1, 2, 6, 7, 8, 9}) engine.setOctaveGain(band, -12.0f);
    std::vector<int16_t> x = tones({440, 660}, 44100, 1.0, 2);
    const auto in = x;
    run(engine, x, 2);
    for (double hz : {440.0, 660.0})  // the skirts of seven cut bands add up to a little
        EXPECT_NEAR(levelDb(x, 2, 0, hz, 44100), levelDb(in, 2, 0, hz, 44100), 2.0) << hz;

    // Even with everything but the 500 Hz band at the bottom they stay clearly audible, some
    // way above the -12 dB of the bands around them.
    for (int band : {3, 5}) engine.setOctaveGain(band, -12.0f);
    x = in;
    run(engine, x, 2);
    for (double hz : {440.0, 660.0})
        EXPECT_GT(levelDb(x, 2, 0, hz, 44100), levelDb(in, 2, 0, hz, 44100) - 9.0) << hz;
}

TEST_F(OctaveEqualizerTest, FlatOrSwitchedOffPassesBitIdentical) {
    engine.enableOctaveEq(true);
    EXPECT_TRUE(passesUnchanged());  // flat from the start
    engine.setOctaveGain(2, -6.0f);
    EXPECT_FALSE(passesUnchanged());
    engine.setOctaveGain(2, 0.0f);
    settle();
    EXPECT_TRUE(passesUnchanged()) << "back to flat: bypassed again";
    EXPECT_TRUE(passesUnchanged(1));

    engine.setOctaveGain(7, 9.0f);
    EXPECT_FALSE(passesUnchanged(1));
    engine.enableOctaveEq(false);  // the curve stays set, but is not heard
    settle();
    EXPECT_TRUE(passesUnchanged());
    EXPECT_TRUE(passesUnchanged(1));
    engine.enableOctaveEq(true);
    EXPECT_FALSE(passesUnchanged()) << "switched on again with the curve it had";

    // It does not depend on the DJ effects being switched on, nor does it stop them.
    engine.enableFx(true);
    engine.enableSurround(true);
    EXPECT_FALSE(passesUnchanged());
    engine.enableOctaveEq(false);
    settle();
    EXPECT_FALSE(passesUnchanged());
    engine.enableFx(false);
    settle();
    EXPECT_TRUE(passesUnchanged());
}

TEST_F(OctaveEqualizerTest, FollowsTheSampleRate) {
    engine.enableOctaveEq(true);
    engine.setOctaveGain(kOneK, -12.0f);
    for (int rate : {48000, 22050, 96000, 8000}) {
        engine.setSampleRate(rate);
        EXPECT_NEAR(changeDb(engine, 1000, rate), -12.0, 0.5) << rate;
        EXPECT_NEAR(changeDb(engine, 125, rate), 0.0, 1.0) << rate;
    }
    // At 22.05 kHz the 16 kHz band lies above anything the stream can hold: it is left out
    // instead of being squeezed onto the band below.
    engine.setSampleRate(22050);
    flat();
    settle();
    engine.setOctaveGain(9, 12.0f);
    EXPECT_TRUE(passesUnchanged());
    EXPECT_NEAR(changeDb(engine, 8000, 22050), 0.0, 0.2);
    engine.setSampleRate(44100);
    EXPECT_NEAR(changeDb(engine, 125, 44100), -12.0, 1.0) << "back at 44.1 kHz it counts";
}

TEST_F(OctaveEqualizerTest, MonoIsFilteredLikeEachStereoChannel) {
    engine.enableOctaveEq(true);
    engine.setOctaveGain(kOneK, -12.0f);
    engine.setOctaveGain(1, 6.0f);
    std::vector<int16_t> stereo = tones({62.5, 1000, 4000}, 44100, 0.5, 2);
    std::vector<int16_t> mono(stereo.size() / 2);
    for (size_t i = 0; i < mono.size(); ++i) mono[i] = stereo[2 * i];
    MixoraEngine other;
    other.enableOctaveEq(true);
    other.setOctaveGain(kOneK, -12.0f);
    other.setOctaveGain(1, 6.0f);
    run(engine, stereo, 2);
    run(other, mono, 1);
    for (size_t i = 0; i < mono.size(); ++i) ASSERT_NEAR(mono[i], stereo[2 * i], 1) << i;
    EXPECT_NEAR(levelDb(mono, 1, 0, 1000, 44100) - levelDb(mono, 1, 0, 4000, 44100), -12.0, 1.5);
}

TEST_F(OctaveEqualizerTest, ExtremeGainsStayBoundedAndLeaveNoTrace) {
    engine.enableOctaveEq(true);
    for (int band = 0; band < 10; ++band) engine.setOctaveGain(band, 12.0f);
    // Every band at the top raises everything by 12 dB or a little more, and the headroom
    // takes it back: a loud tone comes out about as loud, not clipped.
    std::vector<int16_t> x = tones({1000}, 44100, 1.0, 2, 29000.0);
    const auto in = x;
    run(engine, x, 2);
    EXPECT_NEAR(levelDb(x, 2, 0, 1000, 44100), levelDb(in, 2, 0, 1000, 44100), 1.5);
    const auto clipped =
        std::count_if(x.end() - 44100, x.end(), [](int16_t s) { return s == 32767 || s == -32768; });
    EXPECT_EQ(clipped, 0);

    // Full-scale noise with alternating extremes, switched every block.
    std::uniform_int_distribution<int> d(-32768, 32767);
    for (int i = 0; i < 200; ++i) {
        for (int band = 0; band < 10; ++band)
            engine.setOctaveGain(band, ((band + i) % 2 ? 1e9f : -1e9f));
        std::vector<int16_t> block(kBlockFrames * 2);
        for (auto& s : block) s = static_cast<int16_t>(d(rng));
        engine.process(block.data(), kBlockFrames, 2);
    }
    flat();
    settle();
    EXPECT_TRUE(passesUnchanged()) << "no state is left behind";
    // ... and the filters still work afterwards.
    engine.setOctaveGain(kOneK, -12.0f);
    EXPECT_NEAR(changeDb(engine, 1000, 44100), -12.0, 0.5);
}

TEST_F(OctaveEqualizerTest, GainChangesGlideWithoutClicks) {
    // A loud low tone whose band is thrown from one end to the other between two blocks. A
    // click is a step: the output never moves between two samples by more than the tone itself
    // does, and its bends are no sharper than the engine's own 5 ms fade of the same tone.
    constexpr int kRate = 44100;
    constexpr double kAmplitude = 12000.0;
    engine.enableOctaveEq(true);
    std::vector<int16_t> x = tones({62.5}, kRate, 2.0, 1, kAmplitude);
    const auto largest = [](const std::vector<int16_t>& v, bool second) {
        int most = 0;
        for (size_t i = 2; i < v.size(); ++i)
            most = std::max(most, std::abs(second ? v[i] - 2 * v[i - 1] + v[i - 2] : v[i] - v[i - 1]));
        return most;
    };
    const int step = largest(x, false);
    const int frames = static_cast<int>(x.size());
    for (int done = 0, block = 0; done < frames; done += kBlockFrames, ++block) {
        if (block == 20) engine.setOctaveGain(1, 12.0f);
        if (block == 40) engine.setOctaveGain(1, -12.0f);
        if (block == 60) engine.enableOctaveEq(false);
        engine.process(x.data() + done, std::min(kBlockFrames, frames - done), 1);
    }
    EXPECT_LE(largest(x, false), step * 1.1);
    EXPECT_LE(largest(x, true), kAmplitude / mixora::rampSamples(kRate));
}

TEST(OctaveEqualizerExportTest, TheCInterfaceClampsAndIgnoresWhatItCannotUse) {
    XMDestroy();
    XMSetSampleRate(44100);
    XMEnableOctaveEQ(1);
    XMSetOctaveEQ(-1, -12.0f);
    XMSetOctaveEQ(10, -12.0f);
    XMSetOctaveEQ(kOneK, std::numeric_limits<float>::quiet_NaN());
    std::vector<int16_t> x = tones({125, 1000}, 44100, 1.0, 2);
    auto in = x;
    shortStereo(x.data(), static_cast<int32_t>(x.size()), 0);
    EXPECT_EQ(x, in) << "no band was set";

    // An infinite boost is the largest boost: 1 kHz stays, the rest drops 12 dB.
    XMSetOctaveEQ(kOneK, std::numeric_limits<float>::infinity());
    for (int i = 0; i < 2; ++i) {
        x = in;
        shortStereo(x.data(), static_cast<int32_t>(x.size()), 0);
    }
    EXPECT_NEAR(levelDb(x, 2, 0, 1000, 44100) - levelDb(in, 2, 0, 1000, 44100), 0.0, 0.5);
    EXPECT_NEAR(levelDb(x, 2, 0, 125, 44100) - levelDb(in, 2, 0, 125, 44100), -12.0, 1.0);

    // Mono blocks go through shortMono the same way.
    std::vector<int16_t> mono = tones({1000}, 44100, 1.0, 1);
    const auto monoIn = mono;
    XMSetOctaveEQ(kOneK, -12.0f);
    for (int i = 0; i < 2; ++i) {
        mono = monoIn;
        shortMono(mono.data(), static_cast<int32_t>(mono.size()), 0);
    }
    EXPECT_NEAR(levelDb(mono, 1, 0, 1000, 44100) - levelDb(monoIn, 1, 0, 1000, 44100), -12.0, 0.5);

    // The end of the program puts the equaliser back to off and flat.
    XMDestroy();
    x = in;
    shortStereo(x.data(), static_cast<int32_t>(x.size()), 0);
    shortStereo(x.data(), static_cast<int32_t>(x.size()), 0);
    x = in;
    shortStereo(x.data(), static_cast<int32_t>(x.size()), 0);
    EXPECT_EQ(x, in);
}

}  // namespace
