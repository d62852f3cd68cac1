#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "DecodeSupport.h"
#include "core/DecoderSettings.h"
#include "output/WaveOutput.h"
#include "synthesis/SubbandSynthesizer.h"
#include "synthesis/SynthesisTables.h"

using namespace ombrix::mp3;
using ombrix::test::DecodePath;
using ombrix::test::pathName;

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

// One channel of synthesis on one path into a single-frame mono block.
struct Rig {
    DecoderSettings settings;
    WaveOutput output{nullptr, PcmFormat{1, 44100}, 32, 1, false, nullptr};
    SubbandSynthesizer synth{0, settings};
    DecodePath path;

    Rig(DecodePath p, int32_t volume) : path(p) {
        settings.enableMmx(p == DecodePath::Mmx);
        settings.enableK63D(p == DecodePath::K63D);
        settings.setVolume(volume);
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

// The float path follows the standard filterbank scaled by the volume, to rounding; the K6-3D
// path truncates instead, and the 16-bit window of the MMX path costs a step or two. Volume zero
// is silent. A reset forgets the history: the synthesizer then follows a fresh filterbank.
TEST(SubbandSynthesizer, EveryPathMatchesTheStandardFilterbankScaledByTheVolume) {
    struct Case {
        DecodePath path;
        int32_t volume;
        double fromFloat;
    };
    for (const Case& c : {Case{DecodePath::Float, 32768, 0}, Case{DecodePath::Float, 12345, 0},
                          Case{DecodePath::Float, 0, 0}, Case{DecodePath::K63D, 32768, 1},
                          Case{DecodePath::Mmx, 32768, 4}}) {
        SCOPED_TRACE(testing::Message() << pathName(c.path) << " volume " << c.volume);
        Rig rig(c.path, c.volume), flt(DecodePath::Float, c.volume);
        auto ref = std::make_unique<ReferenceSynthesis>();
        std::mt19937 rng(7);
        for (int step = 0; step < 60; ++step) {
            if (step == 40) {
                rig.synth.reset();
                flt.synth.reset();
                ref = std::make_unique<ReferenceSynthesis>();
            }
            // The 16-bit window is measured at ordinary levels; loud ones are the next test's.
            const bool loud = step % 2 && c.path != DecodePath::Mmx;
            const std::vector<float> s = randomSlot(rng, loud ? 0.5f : 0.1f);
            rig.step(s);
            flt.step(s);
            double expected[32];
            ref->step(s.data(), expected);
            for (int j = 0; j < 32; ++j) {
                const int32_t f = flt.output.accumulator()[j];
                ASSERT_NEAR(f, expected[j] * c.volume, 0.51 + 1e-4 * c.volume)
                    << "step " << step << " sample " << j;
                ASSERT_NEAR(rig.output.accumulator()[j], f, c.fromFloat)
                    << "step " << step << " sample " << j;
            }
        }
    }
}

// Slots far beyond full scale (values the linbits tables can code, in phase across the
// subbands) drive every stage of the 16-bit path to its limits: where the float path clips, the
// 16-bit path must clip to the same rail, never wrap to the other sign; on loud but ordinary
// slots it stays within a few steps.
TEST(SubbandSynthesizer, MmxPathSaturatesLikeTheFloatPathOnOverdrivenInput) {
    Rig flt(DecodePath::Float, 32768), mmx(DecodePath::Mmx, 32768);
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
