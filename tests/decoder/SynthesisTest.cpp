#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/DecoderSettings.h"
#include "output/WaveOutput.h"
#include "synthesis/SubbandSynthesizer.h"
#include "synthesis/SynthesisTables.h"

using namespace ombrix::mp3;

namespace {

// The filterbank exactly as the standard writes it (64-value matrixing, 1024-value shift
// register, window D), in double precision.
class ReferenceSynthesis {
public:
    void step(const float* s, double* out) {
        for (int i = 1023; i >= 64; --i) v_[i] = v_[i - 64];
        for (int i = 0; i < 64; ++i) {
            double sum = 0;
            for (int k = 0; k < 32; ++k)
                sum += std::cos((16 + i) * (2 * k + 1) * M_PI / 64) * static_cast<double>(s[k]);
            v_[i] = sum;
        }
        for (int j = 0; j < 32; ++j) {
            double sum = 0;
            for (int i = 0; i < 8; ++i) {
                sum += v_[i * 128 + j] * kSynthesisWindowD[i * 64 + j] / 65536.0;
                sum += v_[i * 128 + 96 + j] * kSynthesisWindowD[i * 64 + 32 + j] / 65536.0;
            }
            out[j] = sum;
        }
    }

private:
    double v_[1024] = {};
};

// One channel of synthesis into a single-frame mono block.
struct Rig {
    DecoderSettings settings;
    WaveOutput output{nullptr, PcmFormat{1, 44100}, 32, 1, false, nullptr};
    SubbandSynthesizer synth{0, settings};
};

std::vector<float> randomSlot(std::mt19937& rng, float scale) {
    std::uniform_real_distribution<float> d(-scale, scale);
    std::vector<float> s(32);
    for (float& v : s) v = d(rng);
    return s;
}

}  // namespace

TEST(SynthesisWindow, IsAntisymmetricInBlocksOf64AroundTheCentre) {
    EXPECT_EQ(kSynthesisWindowD[0], 0);
    for (int i = 1; i < 256; ++i) {
        const int j = 512 - i;
        const int sign = ((i / 64) + (j / 64)) % 2 ? -1 : 1;
        EXPECT_EQ(kSynthesisWindowD[j], sign * kSynthesisWindowD[i]) << i;
    }
}

TEST(SubbandSynthesizer, FloatPathMatchesTheStandardFilterbankScaledByTheVolume) {
    for (int32_t volume : {32768, 12345}) {
        Rig rig;
        rig.settings.setVolume(volume);
        ReferenceSynthesis ref;
        std::mt19937 rng(7);
        for (int step = 0; step < 40; ++step) {
            const std::vector<float> s = randomSlot(rng, 0.5f);
            std::copy(s.begin(), s.end(), rig.synth.input.begin());
            rig.output.writePos(0) = 0;
            rig.synth.synthesizeFloat(rig.output);
            double expected[32];
            ref.step(s.data(), expected);
            for (int j = 0; j < 32; ++j) {
                ASSERT_NEAR(rig.output.accumulator()[j], expected[j] * volume, 0.51 + 1e-4 * volume)
                    << "step " << step << " sample " << j;
            }
        }
    }
}

TEST(SubbandSynthesizer, PathsAgreeAndVolumeZeroIsSilent) {
    Rig flt, k63d, mmx, silent;
    flt.settings.setVolume(32768);
    k63d.settings.enableK63D(true);
    k63d.settings.setVolume(32768);
    mmx.settings.enableMmx(true);
    mmx.settings.setVolume(32768);
    silent.settings.setVolume(0);
    std::mt19937 rng(3);
    double maxMmx = 0, maxK63D = 0;
    for (int step = 0; step < 64; ++step) {
        const std::vector<float> s = randomSlot(rng, 0.1f);
        for (int k = 0; k < 32; ++k) {
            flt.synth.input[k] = k63d.synth.input[k] = silent.synth.input[k] = s[k];
            mmx.synth.inputInt[k] =
                static_cast<int32_t>(std::lrint(s[k] * SubbandSynthesizer::kIntegerScale));
        }
        for (Rig* r : {&flt, &k63d, &mmx, &silent}) r->output.writePos(0) = 0;
        flt.synth.synthesizeFloat(flt.output);
        k63d.synth.synthesizeFloat(k63d.output);
        mmx.synth.synthesizeInt(mmx.output);
        silent.synth.synthesizeFloat(silent.output);
        for (int j = 0; j < 32; ++j) {
            const int32_t f = flt.output.accumulator()[j];
            maxK63D = std::max(maxK63D, std::fabs(double(k63d.output.accumulator()[j] - f)));
            // The 16-bit window costs a step or two.
            maxMmx = std::max(maxMmx, std::fabs(double(mmx.output.accumulator()[j] - f)));
            ASSERT_EQ(silent.output.accumulator()[j], 0);
        }
    }
    EXPECT_LE(maxK63D, 1.0);  // truncation instead of rounding
    EXPECT_LE(maxMmx, 4.0) << maxMmx;
}

// Slots far beyond full scale (values the linbits tables can code, in phase across the
// subbands) drive every stage of the 16-bit path to its limits: where the float path clips, the
// 16-bit path must clip to the same rail, never wrap to the other sign; on loud but ordinary
// slots it stays within a few steps.
TEST(SubbandSynthesizer, MmxPathSaturatesLikeTheFloatPathOnOverdrivenInput) {
    Rig flt, mmx;
    flt.settings.setVolume(32768);
    mmx.settings.enableMmx(true);
    mmx.settings.setVolume(32768);
    std::mt19937 rng(11);
    int worstClipped = 0, worstLoud = 0, clipped = 0;
    for (int step = 0; step < 800; ++step) {
        // Extreme slots first, then (after a reset) loud ordinary ones.
        const int kind = step < 400 ? step % 3 : 3;
        if (step == 400) {
            flt.synth.reset();
            mmx.synth.reset();
        }
        std::vector<float> s = randomSlot(rng, 0.5f);
        for (int k = 0; k < 32; ++k) {
            if (kind == 0) s[k] = 60.0f;
            if (kind == 1) s[k] = (k & 1) ? -60.0f : 60.0f;
            if (kind == 2) s[k] = (step & 4) ? -1000.0f : 1000.0f;  // held at the input limit
        }
        for (int k = 0; k < 32; ++k) {
            flt.synth.input[k] = std::clamp(s[k], -64.0f, 64.0f);
            mmx.synth.inputInt[k] =
                static_cast<int32_t>(std::lrint(s[k] * SubbandSynthesizer::kIntegerScale));
        }
        flt.output.writePos(0) = 0;
        mmx.output.writePos(0) = 0;
        flt.synth.synthesizeFloat(flt.output);
        mmx.synth.synthesizeInt(mmx.output);
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

TEST(SubbandSynthesizer, ResetForgetsTheHistory) {
    Rig a, b;
    a.settings.setVolume(32768);
    b.settings.setVolume(32768);
    std::mt19937 rng(11);
    for (int step = 0; step < 10; ++step) {
        const std::vector<float> s = randomSlot(rng, 0.5f);
        std::copy(s.begin(), s.end(), a.synth.input.begin());
        a.output.writePos(0) = 0;
        a.synth.synthesizeFloat(a.output);
    }
    a.synth.reset();
    for (int step = 0; step < 20; ++step) {
        const std::vector<float> s = randomSlot(rng, 0.5f);
        std::copy(s.begin(), s.end(), a.synth.input.begin());
        std::copy(s.begin(), s.end(), b.synth.input.begin());
        a.output.writePos(0) = b.output.writePos(0) = 0;
        a.synth.synthesizeFloat(a.output);
        b.synth.synthesizeFloat(b.output);
        for (int j = 0; j < 32; ++j)
            ASSERT_EQ(a.output.accumulator()[j], b.output.accumulator()[j]) << step;
    }
}
