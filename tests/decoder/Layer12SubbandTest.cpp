#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "DecodeSupport.h"
#include "core/FrameHeader.h"
#include "layer12/FrameLayout.h"
#include "layer12/Layer12Tables.h"
#include "layer12/Layer1IntensitySubband.h"
#include "layer12/Layer1MonoSubband.h"
#include "layer12/Layer1StereoSubband.h"
#include "layer12/Layer2IntensitySubband.h"
#include "layer12/Layer2MonoSubband.h"
#include "layer12/Layer2StereoSubband.h"
#include "layer12/PayloadBits.h"

namespace ombrix::mp3 {
namespace {

using test::BitWriter;

// The requantized value of code s of a quantizer with `steps` levels.
double level(int s, int steps) {
    return (2.0 * s - (steps - 1)) / steps;
}
double scaleOf(int index) {
    return index == 63 ? 0.0 : 2.0 * std::pow(2.0, -index / 3.0);
}

FrameHeader headerOf(int id, int layer, int bitrateIndex, int samplingIndex, int mode,
                     int modeExtension = 0) {
    const uint32_t word = 0xFFE00000u | (uint32_t(id) << 19) | (uint32_t(4 - layer) << 17) |
                          (1u << 16) | (uint32_t(bitrateIndex) << 12) |
                          (uint32_t(samplingIndex) << 10) | (uint32_t(mode) << 6) |
                          (uint32_t(modeExtension) << 4);
    FrameHeader header;
    EXPECT_TRUE(header.decode(word));
    return header;
}

// Codewords no encoder can produce must stay inside the grouped tables and stay silent.
TEST(Layer12TablesTest, GroupedCodewordsPastTheLastLevelAreSilent) {
    for (const QuantClass& q : Layer12Tables::instance().classes) {
        if (!q.grouped) continue;
        const int code = q.steps * q.steps * q.steps - 2;  // digits steps-2, steps-1, steps-1
        EXPECT_NEAR(q.triples[3 * code], level(q.steps - 2, q.steps), 1e-6);
        EXPECT_NEAR(q.triples[3 * code + 2], level(q.steps - 1, q.steps), 1e-6);
        for (int past = q.steps * q.steps * q.steps; past < (1 << q.bits); ++past)
            for (int k = 0; k < 3; ++k) EXPECT_EQ(q.triples[3 * past + k], 0.0f) << past;
    }
}

// The frame layout and the header agree on the subband limit of every Layer I and II frame, and
// on the bound of every joint-stereo one; two-channel frames below 64 kbit/s, not allowed, take the
// low-rate tables.
TEST(Layer12TablesTest, LayoutAgreesWithTheHeaderForEveryFrame) {
    const Layer12Tables& t = Layer12Tables::instance();
    for (int id : {0, 1})
        for (int layer : {1, 2})
            for (int sampling = 0; sampling < 3; ++sampling)
                for (int mode = 0; mode < 4; ++mode)
                    for (int ext = 0; ext < 4; ++ext)
                        for (int rate = 1; rate < 15; ++rate) {
                            const FrameHeader h = headerOf(id, layer, rate, sampling, mode, ext);
                            const FrameLayout layout = FrameLayout::of(h);
                            ASSERT_EQ(layout.sbLimit, h.sbLimit) << id << layer << sampling << rate;
                            if (mode == 1)
                                ASSERT_EQ(layout.jsBound, h.jsBound) << id << layer << ext;
                        }
    EXPECT_EQ(FrameLayout::of(headerOf(1, 2, 6, 1, 0)).table, &t.tableC);
    EXPECT_EQ(FrameLayout::of(headerOf(1, 2, 6, 2, 0)).table, &t.tableD);
    EXPECT_EQ(FrameLayout::of(headerOf(1, 2, 10, 1, 0)).table, &t.tableA);
    EXPECT_EQ(FrameLayout::of(headerOf(1, 2, 10, 0, 0)).table, &t.tableB);
    // MPEG-2 always uses its own table, whatever the rate.
    for (int rate : {1, 8, 14}) {
        const FrameLayout layout = FrameLayout::of(headerOf(0, 2, rate, 1, 1, 2));
        EXPECT_EQ(layout.table, &t.tableMpeg2);
        EXPECT_EQ(layout.sbLimit, 30);
        EXPECT_EQ(layout.jsBound, 12);
    }
    EXPECT_EQ(FrameLayout::of(headerOf(1, 1, 12, 0, 1, 0)).jsBound, 4);
    EXPECT_EQ(FrameLayout::of(headerOf(1, 1, 12, 0, 1, 3)).jsBound, 16);
    EXPECT_EQ(FrameLayout::of(headerOf(1, 1, 12, 0, 0, 3)).jsBound, 32);
    // 48 kHz, 96 kbit/s: 8 subbands, so a bound of 12 or 16 shares nothing.
    EXPECT_EQ(FrameLayout::of(headerOf(1, 2, 6, 1, 1, 3)).jsBound, 8);
    EXPECT_EQ(FrameLayout::of(headerOf(1, 3, 9, 0, 0)).layer, 0);
}

// Runs the steps of one subband over a bit string and collects its 12 (Layer I) or 36 (Layer II)
// output slots for both channels.
struct SubbandRun {
    std::vector<float> left, right;
};

SubbandRun runSubband(SubbandDecoder& d, int sb, const FrameLayout& layout,
                      const std::vector<uint8_t>& bytes, Crc16* crc = nullptr) {
    PayloadBits bits(bytes.data(), bytes.size());
    d.start(sb);
    d.readAllocation(bits, layout, crc);
    d.readScfsi(bits, crc);
    d.readScaleFactors(bits);
    SubbandRun run;
    bool last = false;
    int groups = 0;
    while (!last && groups < 20) {
        last = d.readSamples(bits);
        ++groups;
        bool written = false;
        int slots = 0;
        while (!written && slots < 5) {
            std::array<float, 32> in0{}, in1{};
            written = d.output(layout.channels == 2 ? 0 : 1, in0.data(), in1.data());
            run.left.push_back(in0[sb]);
            run.right.push_back(in1[sb]);
            ++slots;
        }
    }
    EXPECT_EQ(groups, 12);
    return run;
}

TEST(Layer1SubbandTest, ForbiddenAllocationAndScaleFactor63AreSilent) {
    for (const auto& [allocation, scale] : {std::pair{15u, 0u}, std::pair{4u, 63u}}) {
        BitWriter w;
        w.put(allocation, 4);
        w.put(scale, 6);
        for (int g = 0; g < 12; ++g) w.put(0x5A5Au, allocation + 1);
        FrameLayout layout;
        layout.channels = 1;
        Layer1MonoSubband d;
        const SubbandRun run = runSubband(d, 0, layout, w.bytes());
        for (float v : run.left) EXPECT_EQ(v, 0.0f);
    }
}

TEST(Layer1SubbandTest, IntensitySharesOneSampleWithEachChannelsScaleFactor) {
    BitWriter w;
    w.put(2, 4);  // shared: 3 bits, 7 steps
    w.put(0, 6);  // left 2.0
    w.put(6, 6);  // right 0.5
    for (int g = 0; g < 12; ++g) w.put(static_cast<uint32_t>(g % 7), 3);
    FrameLayout layout;
    layout.jsBound = 4;
    Layer1IntensitySubband d;
    const SubbandRun run = runSubband(d, 5, layout, w.bytes());
    for (int g = 0; g < 12; ++g) {
        EXPECT_NEAR(run.left[g], level(g % 7, 7) * 2.0, 1e-6);
        EXPECT_NEAR(run.right[g], level(g % 7, 7) * 0.5, 1e-6);
    }
}

TEST(Layer12SubbandReuseTest, ASubbandAllocatedInOneFrameIsSilentInTheNextWithout) {
    const Layer12Tables& t = Layer12Tables::instance();
    FrameLayout layout;
    layout.layer = 2;
    layout.table = &t.tableB;
    BitWriter coded;
    coded.put(3, 4);  // left: 15 steps
    coded.put(3, 4);  // right: 15 steps
    coded.put(2, 2);
    coded.put(2, 2);
    coded.put(0, 6);
    coded.put(0, 6);
    for (int i = 0; i < 12 * 3 * 2; ++i) coded.put(13, 4);
    BitWriter silent;
    silent.put(0, 8);
    silent.padTo(64);
    // The same object serves both frames, as in the decoder's pool.
    Layer2StereoSubband d;
    const SubbandRun first = runSubband(d, 1, layout, coded.bytes());
    EXPECT_NEAR(first.left[0], level(13, 15) * 2.0, 1e-6);
    EXPECT_NEAR(first.right[35], level(13, 15) * 2.0, 1e-6);
    const SubbandRun second = runSubband(d, 1, layout, silent.bytes());
    for (size_t i = 0; i < second.left.size(); ++i) {
        EXPECT_EQ(second.left[i], 0.0f);
        EXPECT_EQ(second.right[i], 0.0f);
    }
}

TEST(Layer2SubbandTest, ScfsiSelectsTheScaleFactorOfEachThird) {
    const Layer12Tables& t = Layer12Tables::instance();
    FrameLayout layout;
    layout.layer = 2;
    layout.channels = 1;
    layout.table = &t.tableB;
    // scfsi 0: three factors; 1: parts 1+2 share; 2: one for all; 3: parts 2+3 share.
    const std::array<std::array<int, 3>, 4> expected = {
        {{{3, 6, 9}}, {{3, 3, 6}}, {{3, 3, 3}}, {{3, 6, 6}}}};
    const std::array<std::vector<uint32_t>, 4> written = {{{3, 6, 9}, {3, 6}, {3}, {3, 6}}};
    for (uint32_t scfsi = 0; scfsi < 4; ++scfsi) {
        BitWriter w;
        w.put(3, 4);  // subband 0, index 3: 15 steps, 4 bits
        w.put(scfsi, 2);
        for (uint32_t sf : written[scfsi]) w.put(sf, 6);
        for (int g = 0; g < 12; ++g) {
            for (int k = 0; k < 3; ++k) w.put(14, 4);
        }
        Layer2MonoSubband d;
        const SubbandRun run = runSubband(d, 0, layout, w.bytes());
        ASSERT_EQ(run.left.size(), 36u);
        for (int slot = 0; slot < 36; ++slot) {
            const int part = slot / 12;
            EXPECT_NEAR(run.left[slot], level(14, 15) * scaleOf(expected[scfsi][part]), 1e-6)
                << "scfsi " << scfsi << " slot " << slot;
        }
    }
}

TEST(Layer2SubbandTest, IntensityReadsOneAllocationTwoScfsiAndOneSampleGroup) {
    const Layer12Tables& t = Layer12Tables::instance();
    FrameLayout layout;
    layout.layer = 2;
    layout.table = &t.tableB;
    layout.jsBound = 4;
    BitWriter w;
    w.put(3, 3);  // subband 12 (3 bits): index 3 = 7 steps, 3 bits per sample
    w.put(2, 2);  // left scfsi 2
    w.put(1, 2);  // right scfsi 1
    w.put(0, 6);  // left: 2.0 for all
    w.put(3, 6);  // right parts 1+2: 1.0
    w.put(6, 6);  // right part 3: 0.5
    for (int g = 0; g < 12; ++g) {
        for (int k = 0; k < 3; ++k) w.put(6, 3);
    }
    Crc16 crc;
    Layer2IntensitySubband d;
    const SubbandRun run = runSubband(d, 12, layout, w.bytes(), &crc);
    ASSERT_EQ(run.left.size(), 36u);
    for (int slot = 0; slot < 36; ++slot) {
        EXPECT_NEAR(run.left[slot], level(6, 7) * 2.0, 1e-6);
        EXPECT_NEAR(run.right[slot], level(6, 7) * (slot < 24 ? 1.0 : 0.5), 1e-6);
    }
    // The protected part is the allocation and both selections: 7 bits.
    EXPECT_EQ(crc.value(), test::referenceCrc(w.bytes(), 0, 7));
}

TEST(Layer2SubbandTest, DamagedFramesNeverReadOutsideTheirBits) {
    const Layer12Tables& t = Layer12Tables::instance();
    FrameLayout layout;
    layout.layer = 2;
    layout.table = &t.tableD;
    // Index 3 at subband 0 of a low-rate table is 9 steps in 10-bit codewords; 1023 is no
    // codeword an encoder writes.
    BitWriter w;
    w.put(3, 4);
    w.put(3, 2);
    w.put(0, 6);
    w.put(0, 6);
    for (int g = 0; g < 12; ++g) w.put(1023, 10);
    const std::vector<uint8_t> allOnes = w.bytes();
    Layer2MonoSubband d;
    layout.channels = 1;
    const SubbandRun run = runSubband(d, 0, layout, allOnes);
    for (float v : run.left) EXPECT_EQ(v, 0.0f);
    // A payload that ends early reads zero bits.
    const std::vector<uint8_t> empty;
    Layer2StereoSubband s;
    layout.channels = 2;
    const SubbandRun none = runSubband(s, 0, layout, empty);
    for (float v : none.left) EXPECT_EQ(v, 0.0f);
}

TEST(Layer12BitsTest, PayloadBitsReadAcrossBytesAndZeroPastTheEnd) {
    const std::vector<uint8_t> bytes = {0xA5, 0x3C, 0xFF};
    PayloadBits bits(bytes.data(), bytes.size(), 4);
    EXPECT_EQ(bits.get(4), 0x5u);
    EXPECT_EQ(bits.get(12), 0x3CFu);
    EXPECT_EQ(bits.get(6), 0x3Cu);
    EXPECT_EQ(bits.get(16), 0u);
    EXPECT_EQ(bits.get(16), 0u);
    EXPECT_EQ(bits.position(), 58u);
}

}  // namespace
}  // namespace ombrix::mp3
