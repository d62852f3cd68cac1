// Reading pad sounds from WAV files, and the pads' playing, looping, stopping and placement.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SamplePad.h"
#include "TestSupport.h"
#include "WavReader.h"

using mixora::PcmSound;
using mixora::WavError;
using mixora::WavReader;
using mixora::test::makeWav;

TEST(WavReaderTest, Reads8_16And24BitMonoAndStereoAsSixteenBits) {
    const PcmSound s8 = WavReader::parse(makeWav(8000, 1, 8, {-128, 0, 127, 1}));
    EXPECT_EQ(s8.sampleRate, 8000);
    EXPECT_EQ(s8.channels, 1);
    EXPECT_EQ(s8.samples, (std::vector<int16_t>{-32768, 0, 32512, 256}));

    const PcmSound s16 = WavReader::parse(makeWav(44100, 2, 16, {-32768, 32767, 5, -5}));
    EXPECT_EQ(s16.channels, 2);
    EXPECT_EQ(s16.frames(), 2u);
    EXPECT_EQ(s16.samples, (std::vector<int16_t>{-32768, 32767, 5, -5}));

    const PcmSound s24 =
        WavReader::parse(makeWav(96000, 2, 24, {-8388608, 8388607, 0x123456, -256}));
    EXPECT_EQ(s24.sampleRate, 96000);
    EXPECT_EQ(s24.samples, (std::vector<int16_t>{-32768, 32767, 0x1234, -1}));
}

TEST(WavReaderTest, RejectsWhatItCannotPlayAndSurvivesDamage) {
    EXPECT_THROW(WavReader::parse(std::vector<uint8_t>{}), WavError);
    EXPECT_THROW(WavReader::parse(std::vector<uint8_t>(100, 'x')), WavError);
    EXPECT_THROW(WavReader::parse(makeWav(44100, 1, 16, {1, 2}, 3)), WavError);  // float
    EXPECT_THROW(WavReader::parse(makeWav(44100, 3, 16, {1, 2, 3})), WavError);
    EXPECT_THROW(WavReader::parse(makeWav(44100, 1, 16, {})), WavError);
    EXPECT_THROW(WavReader::readFile("/nonexistent/x.wav"), WavError);
    EXPECT_THROW(WavReader::readFile("/"), WavError);

    // A data chunk cut short is read as far as it goes (whole frames only).
    auto cut = makeWav(44100, 2, 16, {1, 2, 3, 4, 5, 6});
    cut.resize(cut.size() - 3);
    EXPECT_EQ(WavReader::parse(cut).samples, (std::vector<int16_t>{1, 2, 3, 4}));

    // Every truncation and a chunk size pointing far past the end: an error or a sound, never
    // a read out of bounds (the sanitizer build checks the latter).
    const auto good = makeWav(22050, 2, 24, std::vector<int32_t>(64, 1000));
    for (size_t n = 0; n < good.size(); ++n) {
        try {
            WavReader::parse(std::span(good.data(), n));
        } catch (const WavError&) {
        }
    }
    auto hostile = good;
    hostile[16] = hostile[17] = hostile[18] = hostile[19] = 0xFF;  // fmt chunk size
    EXPECT_THROW(WavReader::parse(hostile), WavError);
}

namespace {

constexpr int kOut = 44100;

/// A mono sound of n frames, every sample 'value'.
PcmSound flatSound(int rate, int frames, int16_t value, int channels = 1) {
    PcmSound s;
    s.sampleRate = rate;
    s.channels = channels;
    s.samples.assign(static_cast<size_t>(frames) * channels, value);
    return s;
}

struct Mix {
    std::vector<float> left;
    std::vector<float> right;
};
Mix run(mixora::SamplePad& pad, int frames) {
    Mix m{std::vector<float>(frames, 0.0f), std::vector<float>(frames, 0.0f)};
    pad.mixInto(m.left.data(), m.right.data(), frames);
    return m;
}
int lastNonZero(const std::vector<float>& x) {
    for (int i = static_cast<int>(x.size()) - 1; i >= 0; --i)
        if (x[i] != 0.0f) return i;
    return -1;
}

}  // namespace

TEST(SamplePadTest, PlaysOnceResampledToTheOutputRate) {
    const PcmSound sound = flatSound(22050, 1000, 10000);
    mixora::SamplePad pad;
    pad.setOutputRate(kOut);
    pad.setSound(&sound);
    EXPECT_TRUE(run(pad, 100).left == std::vector<float>(100, 0.0f));  // loaded, not playing

    pad.play();
    const Mix m = run(pad, 4000);
    EXPECT_NEAR(m.left[0], 10000.0f, 1.0f);
    EXPECT_NEAR(m.right[0], 10000.0f, 1.0f);
    EXPECT_EQ(lastNonZero(m.left), 1999);  // 1000 frames at half the rate last 2000
    EXPECT_FALSE(pad.isPlaying());
}

TEST(SamplePadTest, LoopRepeatsAndStopEndsWithAShortFade) {
    PcmSound ramp;
    ramp.sampleRate = kOut;
    ramp.channels = 1;
    for (int i = 0; i < 100; ++i) ramp.samples.push_back(static_cast<int16_t>(i * 100));
    mixora::SamplePad pad;
    pad.setOutputRate(kOut);
    pad.setSound(&ramp);
    pad.setVolume(32767);
    pad.setLoop(true);
    pad.play();
    Mix m = run(pad, 1000);
    const float g = 32767.0f / 32768.0f;
    for (int i = 0; i < 1000; ++i) ASSERT_NEAR(m.left[i], (i % 100) * 100 * g, 0.5f) << i;
    EXPECT_TRUE(pad.isPlaying());

    pad.stop();
    m = run(pad, 1000);
    EXPECT_GT(std::fabs(m.left[10]) + std::fabs(m.left[50]), 0.0f);  // fading, not cut
    EXPECT_LT(lastNonZero(m.left), kOut / 200 + 1);                  // silent after 5 ms
    EXPECT_FALSE(pad.isPlaying());

    // Play restarts from the beginning.
    pad.play();
    m = run(pad, 3);
    EXPECT_NEAR(m.left[0], 0.0f, 0.5f);
    EXPECT_NEAR(m.left[2], 200 * g, 0.5f);
}

TEST(SamplePadTest, PanAndVolumePlaceAndScaleTheSound) {
    const PcmSound mono = flatSound(kOut, 20000, 16000);
    mixora::SamplePad pad;
    pad.setOutputRate(kOut);
    pad.setSound(&mono);
    pad.setPan(-32768);
    pad.setVolume(16384);
    pad.play();
    Mix m = run(pad, 100);
    EXPECT_NEAR(m.left[0], 8000.0f, 1.0f);
    EXPECT_EQ(m.right[0], 0.0f);

    // Changes while playing glide over 5 ms instead of jumping.
    pad.setPan(32767);
    m = run(pad, 1000);
    EXPECT_GT(m.left[0], 7000.0f);
    EXPECT_LT(m.right[0], 1000.0f);
    EXPECT_NEAR(m.left[999], 0.0f, 1.0f);
    EXPECT_NEAR(m.right[999], 8000.0f, 1.0f);

    // A stereo sound keeps its channels apart.
    PcmSound stereo;
    stereo.sampleRate = kOut;
    stereo.channels = 2;
    stereo.samples = std::vector<int16_t>(2000, 0);
    for (size_t i = 0; i < stereo.samples.size(); i += 2) stereo.samples[i] = 12000;
    pad.setSound(&stereo);
    pad.setPan(0);
    pad.setVolume(32767);
    pad.play();
    m = run(pad, 10);
    EXPECT_NEAR(m.left[5], 12000.0f, 1.0f);
    EXPECT_EQ(m.right[5], 0.0f);

    // A new sound stops the pad until it is played again.
    pad.setSound(&mono);
    m = run(pad, 10);
    EXPECT_EQ(m.left[5], 0.0f);
}
