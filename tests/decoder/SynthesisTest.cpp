// Synthesis at the extremes the conformance streams never reach: overdriven subbands, and sums
// that are huge or not a number.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "DecodeSupport.h"
#include "core/DecoderSettings.h"
#include "output/WaveOutput.h"
#include "synthesis/SubbandSynthesizer.h"
#include "synthesis/SynthesisTables.h"
#include "synthesis/WindowKernels.h"

using namespace ombrix::mp3;
using ombrix::test::DecodePath;

namespace {

// One channel of synthesis on one path into a single-frame mono block.
struct Rig {
    DecoderSettings settings;
    WaveOutput output{nullptr, PcmFormat{1, 44100}, 32, 1, false, nullptr};
    SubbandSynthesizer synth{0, settings};
    DecodePath path;

    explicit Rig(DecodePath p) : path(p) {
        settings.enableMmx(p == DecodePath::Mmx);
        settings.setVolume(32768);
    }
    // One slot of 32 subband samples in; the 32 accumulated samples are in output.accumulator().
    void step(const std::vector<float>& s) {
        output.writePos(0) = 0;
        if (path == DecodePath::Mmx) {
            for (int k = 0; k < 32; ++k)
                synth.inputInt[k] =
                    static_cast<int32_t>(std::lrint(s[k] * SubbandSynthesizer::kIntegerScale));
            synth.synthesizeInt(output);
        } else {
            // The float path's input is held to the range the hybrid filterbank can produce.
            for (int k = 0; k < 32; ++k) synth.input[k] = std::clamp(s[k], -64.0f, 64.0f);
            synth.synthesizeFloat(output);
        }
    }
};

}  // namespace

// Slots far beyond full scale (values the linbits tables can code, in phase across the
// subbands): where the float path clips, the 16-bit path must clip to the same rail, never wrap
// to the other sign; on loud but ordinary slots it stays within a few steps.
TEST(SubbandSynthesizer, MmxPathSaturatesLikeTheFloatPathOnOverdrivenInput) {
    Rig flt(DecodePath::Float), mmx(DecodePath::Mmx);
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> d(-0.5f, 0.5f);
    int worstClipped = 0, worstLoud = 0, clipped = 0;
    for (int step = 0; step < 800; ++step) {
        // Extreme slots first, then (after a reset) loud ordinary ones.
        const int kind = step < 400 ? step % 3 : 3;
        if (step == 400) {
            flt.synth.reset();
            mmx.synth.reset();
        }
        std::vector<float> s(32);
        for (int k = 0; k < 32; ++k) {
            s[k] = d(rng);
            if (kind == 0) s[k] = 60.0f;
            if (kind == 1) s[k] = (k & 1) ? -60.0f : 60.0f;
            if (kind == 2) s[k] = (step & 4) ? -1000.0f : 1000.0f;  // held at the input limit
        }
        flt.step(s);
        mmx.step(s);
        int16_t f16[32], m16[32];
        convertBlock(flt.output.accumulator(), f16, 32, false);
        convertBlock(mmx.output.accumulator(), m16, 32, true);
        for (int j = 0; j < 32; ++j) {
            const int diff = std::abs(f16[j] - m16[j]);
            if (std::abs(flt.output.accumulator()[j]) > 40000) {
                ++clipped;
                worstClipped = std::max(worstClipped, diff);
            } else if (kind == 3) {
                worstLoud = std::max(worstLoud, diff);
            }
        }
    }
    EXPECT_GT(clipped, 1000);
    EXPECT_EQ(worstClipped, 0);
    EXPECT_LE(worstLoud, 16);
}

// Every form of the window kernel (rounding and truncating, scalar and vector), also the forms
// this machine never selects.
TEST(SynthesisKernels, HugeAndNotANumberSumsStayInsideTheConversionRange) {
    alignas(32) float window[512];
    for (int i = 0; i < 32; ++i)
        for (int j = 0; j < 16; ++j) window[32 * j + i] = 32768.0f * synthesisWindowD(i + 32 * j);
    const int phase = 5;
    alignas(32) float history[16 * 32] = {};
    auto at = [&](int column, int i) -> float& { return history[32 * (column & 15) + i]; };
    // Tap 1 of sample 0 (tap 0 meets D[0] = 0, which would hide nothing).
    at(phase - 1, 0) = std::numeric_limits<float>::quiet_NaN();
    for (int j = 0; j < 16; ++j) {
        at(phase - j, 8) = 1.0e30f;
        at(phase - j, 9) = -1.0e30f;
    }
    at(phase - 3, 20) = -std::numeric_limits<float>::infinity();
    for (bool truncate : {false, true}) {
        std::vector<WindowKernels::Kernel> kernels{WindowKernels::scalar(truncate)};
        if (auto k = WindowKernels::sse(truncate)) kernels.push_back(k);
        if (auto k = WindowKernels::avx2(truncate)) kernels.push_back(k);
        for (auto kernel : kernels) {
            std::vector<int32_t> out(32);
            kernel(history, phase, window, out.data(), 1);
            EXPECT_EQ(out[0], 0) << "NaN becomes silence";
            // Rows 8 and 9 hold sums of both signs beyond the limit; row 20 one infinite tap.
            EXPECT_EQ(std::abs(out[8]), 1000000000);
            EXPECT_EQ(std::abs(out[9]), 1000000000);
            EXPECT_EQ(std::abs(out[20]), 1000000000);
            EXPECT_EQ(out[1], 0);
        }
    }
}
