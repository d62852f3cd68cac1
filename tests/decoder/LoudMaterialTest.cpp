#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "DecodeSupport.h"

using namespace ombrix::test;

// Over-driven encodes of a full-scale square and sawtooth with noise (dense high-frequency
// content that lame codes through the large linbits tables; the encoder scales its input up, so
// the decoded signal lies beyond full scale): the 16-bit path must clip where the float path
// clips.
TEST(LoudMaterial, MmxPathFollowsTheFloatPathOnOverdrivenEncodes) {
    TempDir dir;
    const int rate = 44100;
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> noise(-0.25, 0.25);
    std::vector<int16_t> pcm;
    for (int i = 0; i < 2 * rate; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double square = std::sin(2 * M_PI * 110 * t) > 0 ? 0.7 : -0.7;
        const double saw = (std::fmod(t * 233, 1.0) * 2 - 1) * 0.3;
        pcm.push_back(
            static_cast<int16_t>(std::clamp(square + saw + noise(rng), -1.0, 1.0) * 32767));
        pcm.push_back(static_cast<int16_t>(
            std::clamp(-0.9 * (square + saw) + noise(rng), -1.0, 1.0) * 32767));
    }
    writeWav(dir / "loud.wav", rate, 2, pcm);
    for (const char* scale : {"1", "2", "4"}) {
        encodeMp3(dir / "loud.wav", dir / "loud.mp3", std::string("-b 320 --scale ") + scale);
        const DecodedPcm a = decodeFile((dir / "loud.mp3").string());
        const DecodedPcm b = decodeFile((dir / "loud.mp3").string(), {.path = DecodePath::Mmx});
        ASSERT_EQ(a.samples.size(), b.samples.size());
        int maxDiff = 0, peak = 0;  // peak: the material really is loud
        double sum = 0;
        for (size_t i = 0; i < a.samples.size(); ++i) {
            const int diff = std::abs(a.samples[i] - b.samples[i]);
            maxDiff = std::max(maxDiff, diff);
            peak = std::max(peak, std::abs(int{a.samples[i]}));
            sum += double(diff) * diff;
        }
        const double rms = std::sqrt(sum / std::max<size_t>(1, a.samples.size()));
        std::printf("scale %s: max %d, rms %.3f, float peak %d\n", scale, maxDiff, rms, peak);
        EXPECT_GE(peak, 32000) << scale;
        EXPECT_LE(maxDiff, 16) << "scale " << scale;
        EXPECT_LE(rms, 2.0) << "scale " << scale;
    }
}
