#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "DecodeSupport.h"

using namespace ombrix::test;

namespace {

// A full-scale square and sawtooth with noise on both channels: dense high-frequency content
// that lame codes through the large linbits tables, and that clips hard once scaled up.
void writeLoudWav(const std::filesystem::path& path, double seconds) {
    const int rate = 44100;
    const auto frames = static_cast<uint32_t>(rate * seconds);
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> noise(-0.25, 0.25);
    std::vector<int16_t> pcm;
    pcm.reserve(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double square = std::sin(2 * M_PI * 110 * t) > 0 ? 0.7 : -0.7;
        const double saw = (std::fmod(t * 233, 1.0) * 2 - 1) * 0.3;
        const double l = std::clamp(square + saw + noise(rng), -1.0, 1.0);
        const double r = std::clamp(-0.9 * (square + saw) + noise(rng), -1.0, 1.0);
        pcm.push_back(static_cast<int16_t>(l * 32767));
        pcm.push_back(static_cast<int16_t>(r * 32767));
    }
    writeWav(path, rate, 2, pcm);
}

struct PathDifference {
    int maxDiff = 0;
    double rms = 0;
    int peak = 0;  // the float path's largest magnitude: the material really is loud
};

PathDifference compareFloatAndMmx(const std::filesystem::path& mp3) {
    DecodeOptions flt;
    DecodeOptions mmx;
    mmx.path = DecodePath::Mmx;
    const DecodedPcm a = decodeFile(mp3.string(), flt);
    const DecodedPcm b = decodeFile(mp3.string(), mmx);
    EXPECT_EQ(a.samples.size(), b.samples.size());
    PathDifference d;
    double sum = 0;
    const size_t n = std::min(a.samples.size(), b.samples.size());
    for (size_t i = 0; i < n; ++i) {
        const int diff = std::abs(a.samples[i] - b.samples[i]);
        d.maxDiff = std::max(d.maxDiff, diff);
        d.peak = std::max(d.peak, std::abs(int{a.samples[i]}));
        sum += double(diff) * diff;
    }
    d.rms = n ? std::sqrt(sum / n) : 0;
    return d;
}

}  // namespace

// Over-driven encodes (the encoder scales its input up before coding, so the decoded signal
// lies beyond full scale): the 16-bit path must clip where the float path clips.
TEST(LoudMaterial, MmxPathFollowsTheFloatPathOnOverdrivenEncodes) {
    TempDir dir;
    writeLoudWav(dir / "loud.wav", 2.0);
    for (const char* scale : {"1", "2", "4"}) {
        const auto mp3 = dir / (std::string("loud-x") + scale + ".mp3");
        encodeMp3(dir / "loud.wav", mp3, std::string("-b 320 --scale ") + scale);
        const PathDifference d = compareFloatAndMmx(mp3);
        std::printf("scale %s: max %d, rms %.3f, float peak %d\n", scale, d.maxDiff, d.rms, d.peak);
        EXPECT_GE(d.peak, 32000) << scale;
        EXPECT_LE(d.maxDiff, 16) << "scale " << scale;
        EXPECT_LE(d.rms, 2.0) << "scale " << scale;
    }
}
