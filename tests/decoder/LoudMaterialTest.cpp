#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "DecodeSupport.h"

using namespace ombrix::test;

namespace {

// Largest and RMS difference of two decodes of one stream, sample by sample.
struct Deviation {
    int max = 0;
    double rms = 0;
};

Deviation deviation(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    Deviation d;
    double sum = 0;
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int diff = std::abs(a[i] - b[i]);
        d.max = std::max(d.max, diff);
        sum += double(diff) * diff;
    }
    d.rms = std::sqrt(sum / std::max<size_t>(1, n));
    return d;
}

}  // namespace

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
        int peak = 0;  // the material really is loud
        for (const int16_t v : a.samples) peak = std::max(peak, std::abs(int{v}));
        const Deviation d = deviation(a.samples, b.samples);
        std::printf("scale %s: max %d, rms %.3f, float peak %d\n", scale, d.max, d.rms, peak);
        EXPECT_GE(peak, 32000) << scale;
        EXPECT_LE(d.max, 16) << "scale " << scale;
        EXPECT_LE(d.rms, 2.0) << "scale " << scale;
    }
}

// Clipped white noise, over-driven again by the encoder: every subband is loud at once, so the
// matrixed values reach several times full scale while many output samples still lie inside it.
// There the 16-bit window's own rounding is multiplied by those values; the path must stay
// within 16 steps of the float path and of mpg123.
TEST(LoudMaterial, MmxPathFollowsTheFloatPathOnClippedNoise) {
    TempDir dir;
    const int rate = 44100;
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> noise(-4.0, 4.0);  // 12 dB above full scale
    std::vector<int16_t> pcm;
    for (int i = 0; i < 2 * 2 * rate; ++i)
        pcm.push_back(static_cast<int16_t>(std::clamp(noise(rng), -1.0, 1.0) * 32767));
    writeWav(dir / "noise.wav", rate, 2, pcm);
    for (const char* scale : {"2", "4", "8"}) {
        encodeMp3(dir / "noise.wav", dir / "noise.mp3", std::string("-b 320 --scale ") + scale);
        const DecodedPcm floatPath = decodeFile((dir / "noise.mp3").string());
        const DecodedPcm mmxPath =
            decodeFile((dir / "noise.mp3").string(), {.path = DecodePath::Mmx});
        ASSERT_EQ(floatPath.samples.size(), mmxPath.samples.size());
        const Deviation d = deviation(floatPath.samples, mmxPath.samples);
        std::printf("scale %s: against the float path max %d, rms %.3f\n", scale, d.max, d.rms);
        EXPECT_LE(d.max, 16) << "scale " << scale;
        EXPECT_LE(d.rms, 0.5) << "scale " << scale;

        // mpg123 leaves out the encoder delay and padding of the LAME tag, as this decoder does.
        runTool("mpg123 -q -O '" + (dir / "ref.pcm").string() + "' '" +
                (dir / "noise.mp3").string() + "'");
        expectConforms(compareWithReference(mmxPath.samples, readPcm(dir / "ref.pcm"), 2 * 1152),
                       16, 0.5, std::string("mpg123, scale ") + scale);
    }
}
