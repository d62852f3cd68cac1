#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "synthesis/Dct32.h"
#include "synthesis/SynthesisTables.h"
#include "synthesis/WindowKernels.h"

using namespace ombrix::mp3;

namespace {

// One history bank as the synthesizer lays it out (16 columns of 32 values) and a window by tap at
// the nominal volume; the phase varies with the seed.
struct WindowCase {
    alignas(32) float history[16 * 32];
    alignas(32) float window[512];
    int phase = 0;

    explicit WindowCase(uint32_t seed, float level) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> d(-level, level);
        for (float& v : history) v = d(rng);
        for (int i = 0; i < 32; ++i)
            for (int j = 0; j < 16; ++j)
                window[32 * j + i] = 32768.0f * synthesisWindowD(i + 32 * j);
        phase = static_cast<int>(seed % 16);
    }

    float& at(int column, int i) { return history[32 * (column & 15) + i]; }

    // The exact dot product in double precision.
    double exact(int i) const {
        double s = 0;
        for (int j = 0; j < 16; ++j)
            s += double(window[32 * j + i]) * double(history[32 * ((phase - j) & 15) + i]);
        return s;
    }
};

std::vector<WindowKernels::Kernel> availableKernels(bool truncate) {
    std::vector<WindowKernels::Kernel> kernels{WindowKernels::scalar(truncate)};
    if (auto k = WindowKernels::sse(truncate)) kernels.push_back(k);
    if (auto k = WindowKernels::avx2(truncate)) kernels.push_back(k);
    return kernels;
}

}  // namespace

TEST(SynthesisKernels, EveryFormRoundsOrTruncatesTheDotProductAtEveryStride) {
    for (bool truncate : {false, true}) {
        for (auto kernel : availableKernels(truncate)) {
            for (uint32_t seed = 1; seed <= 16; ++seed) {
                const WindowCase c(seed, 1.5f);
                for (int stride : {1, 2}) {
                    std::vector<int32_t> out(64, 12345);
                    kernel(c.history, c.phase, c.window, out.data(), stride);
                    for (int i = 0; i < 32; ++i) {
                        const double e = c.exact(i);
                        const double want = truncate ? std::trunc(e) : std::nearbyint(e);
                        // Float sums of 16 products of this size stay within a small fraction of
                        // a step; only values close to a rounding boundary may go either way.
                        ASSERT_LE(std::fabs(out[static_cast<size_t>(i * stride)] - want), 1.0)
                            << "seed " << seed << " sample " << i;
                    }
                    if (stride == 2) {
                        for (int i = 0; i < 32; ++i)
                            ASSERT_EQ(out[static_cast<size_t>(2 * i + 1)], 12345) << "gap written";
                    }
                }
            }
        }
    }
}

TEST(SynthesisKernels, HugeAndNotANumberSumsStayInsideTheConversionRange) {
    for (bool truncate : {false, true}) {
        for (auto kernel : availableKernels(truncate)) {
            WindowCase c(5, 0.0f);
            const float inf = std::numeric_limits<float>::infinity();
            // Tap 1 of sample 0 (tap 0 meets D[0] = 0, which would hide nothing).
            c.at(c.phase - 1, 0) = std::numeric_limits<float>::quiet_NaN();
            for (int j = 0; j < 16; ++j) {
                c.at(c.phase - j, 8) = 1.0e30f;
                c.at(c.phase - j, 9) = -1.0e30f;
            }
            c.at(c.phase - 3, 20) = -inf;
            std::vector<int32_t> out(32);
            kernel(c.history, c.phase, c.window, out.data(), 1);
            EXPECT_EQ(out[0], 0) << "NaN becomes silence";
            // Rows 8 and 9 hold sums of both signs beyond the limit; row 20 one infinite tap.
            EXPECT_EQ(std::abs(out[8]), 1000000000);
            EXPECT_EQ(std::abs(out[9]), 1000000000);
            EXPECT_EQ(std::abs(out[20]), 1000000000);
            EXPECT_EQ(out[1], 0);
        }
    }
}

TEST(SynthesisKernels, EveryDctFormComputesTheTransform) {
    std::vector<Dct32Kernel> kernels{&dct32};
    if (Dct32Kernel k = dct32Avx2()) kernels.push_back(k);
    EXPECT_EQ(bestDct32(), kernels.back());
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    for (int trial = 0; trial < 20; ++trial) {
        alignas(32) float in[32];
        for (float& v : in) v = d(rng);
        if (trial == 0) std::fill(in, in + 32, 0.0f);
        for (Dct32Kernel kernel : kernels) {
            alignas(32) float out[32];
            kernel(in, out);
            for (int m = 0; m < 32; ++m) {
                double want = 0;
                for (int k = 0; k < 32; ++k) want += in[k] * std::cos(m * (2 * k + 1) * M_PI / 64);
                ASSERT_NEAR(out[m], want, 1e-5 * std::max(1.0, std::fabs(want)))
                    << "trial " << trial << " output " << m;
            }
        }
    }
}
