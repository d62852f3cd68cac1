// The display data: level history and the spectrum analyser on their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "LevelMeter.h"
#include "Spectrum.h"

namespace {
std::vector<int16_t> sine(double freq, double amp, int rate, int n) {
    std::vector<int16_t> out(n);
    for (int i = 0; i < n; ++i)
        out[i] = static_cast<int16_t>(
            std::lround(amp * std::sin(2 * std::numbers::pi * freq * i / rate)));
    return out;
}
}  // namespace

TEST(SpectrumTest, PeakBinFollowsFrequencyLinearlyUpToHalfTheRate) {
    mixora::Spectrum spectrum;
    std::vector<uint8_t> out(mixora::Spectrum::kBins);
    for (const int rate : {44100, 22050, 48000}) {
        for (const double freq : {100.0, 440.0, 3000.0, 10000.0, rate * 0.45}) {
            const auto s = sine(freq, 20000.0, rate, mixora::Spectrum::kFftSize);
            spectrum.analyse(s.data(), out.data());
            const int peak =
                static_cast<int>(std::max_element(out.begin(), out.end()) - out.begin());
            EXPECT_NEAR(peak, freq / (rate / 2.0) * 576, 1.0) << freq << " Hz at " << rate;
        }
    }
}

TEST(SpectrumTest, ScaleIsDecibelsFromFullScaleDownToSilence) {
    mixora::Spectrum spectrum;
    std::vector<uint8_t> out(mixora::Spectrum::kBins);
    // Bin-centred tone (21 FFT bins) so there is no scalloping loss.
    const double freq = 21.0 * 44100 / mixora::Spectrum::kFftSize;
    auto top = [&](double amp) {
        const auto s = sine(freq, amp, 44100, mixora::Spectrum::kFftSize);
        spectrum.analyse(s.data(), out.data());
        return static_cast<int>(*std::max_element(out.begin(), out.end()));
    };
    EXPECT_GE(top(32767.0), 254);
    // -36 dB is half way down the 72 dB range.
    EXPECT_NEAR(top(32767.0 / std::pow(10.0, 36.0 / 20)), 128, 2);
    const std::vector<int16_t> silence(mixora::Spectrum::kFftSize, 0);
    spectrum.analyse(silence.data(), out.data());
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t v) { return v == 0; }));
}

TEST(LevelMeterTest, HistoryKeepsTheNewestSamplesAcrossTheRingEnd) {
    mixora::LevelMeter meter;
    std::vector<int16_t> recent(10);
    // Fewer frames than asked: zeros first, then the frames.
    const std::vector<int16_t> few = {1, -1, 2, -2, 3, -3};
    meter.push(few.data(), 3, 2);
    meter.recent(0, recent.data(), 5);
    EXPECT_EQ(std::vector<int16_t>(recent.begin(), recent.begin() + 5),
              (std::vector<int16_t>{0, 0, 1, 2, 3}));
    meter.recent(1, recent.data(), 2);
    EXPECT_EQ(recent[0], -2);
    EXPECT_EQ(recent[1], -3);

    // Many blocks wrap the ring; the newest frames still come out in order.
    std::vector<int16_t> block(2 * 1000);
    int16_t next = 0;
    for (int b = 0; b < 80; ++b) {
        for (int i = 0; i < 1000; ++i) {
            block[2 * i] = next;
            block[2 * i + 1] = static_cast<int16_t>(-next);
            ++next;
        }
        meter.push(block.data(), 1000, 2);
    }
    std::vector<int16_t> last(mixora::LevelMeter::kMaxRecent);
    meter.recent(0, last.data(), static_cast<int>(last.size()));
    for (size_t i = 0; i < last.size(); ++i)
        ASSERT_EQ(last[i],
                  static_cast<int16_t>(next - static_cast<int>(last.size()) + static_cast<int>(i)));

    // Asking for more than the history holds is clamped, not an overrun.
    std::vector<int16_t> big(mixora::LevelMeter::kMaxRecent + 100, 7);
    meter.recent(1, big.data(), static_cast<int>(big.size()));
    EXPECT_EQ(big.back(), 7);
}

// With a delay (what the output holds and has not played), the display reads the audio being
// heard: levels and samples end that many frames before the newest.
TEST(LevelMeterTest, ADelayShowsTheAudioBeingHeard) {
    mixora::LevelMeter meter;
    meter.setSampleRate(8000);  // 50 ms = 400 frames
    std::vector<int16_t> block(2 * 4000);
    for (int i = 0; i < 4000; ++i) block[2 * i] = block[2 * i + 1] = static_cast<int16_t>(i);
    meter.push(block.data(), 4000, 2);
    meter.setDelay(1000);
    std::vector<int16_t> last(3);
    meter.recent(0, last.data(), 3);
    EXPECT_EQ(last, (std::vector<int16_t>{2997, 2998, 2999}));
    float l = 0, r = 0;
    meter.levels(l, r);
    EXPECT_EQ(l, 2999 * 256.0f);
    // A delay beyond the history reads the oldest audio kept, never outside the ring.
    meter.setDelay(int64_t{1} << 40);
    meter.levels(l, r);
    EXPECT_EQ(l, 0.0f);
    // Full-scale negative is clamped to the panel's full scale.
    meter.setDelay(0);
    block[2 * 3999] = -32768;
    meter.push(block.data(), 4000, 2);
    meter.levels(l, r);
    EXPECT_EQ(l, 32767.0f * 256.0f);
}
