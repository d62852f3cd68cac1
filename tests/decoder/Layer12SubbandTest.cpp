// The Layer I and II tables at the inputs no conformance stream holds: codewords past the last
// level, frames whose rate the tables do not allow, and reads past the payload.
#include <gtest/gtest.h>

#include "DecodeSupport.h"
#include "core/FrameHeader.h"
#include "layer12/FrameLayout.h"
#include "layer12/Layer12Tables.h"
#include "layer12/PayloadBits.h"

namespace ombrix::mp3 {
namespace {

// The requantized value of code s of a quantizer with `steps` levels.
double level(int s, int steps) {
    return (2.0 * s - (steps - 1)) / steps;
}

FrameHeader headerOf(int id, int layer, int bitrateIndex, int samplingIndex, int mode,
                     int modeExtension = 0) {
    FrameHeader header;
    EXPECT_TRUE(header.decode(test::headerWord({.id = id,
                                                .layer = layer,
                                                .bitrateIndex = bitrateIndex,
                                                .samplingIndex = samplingIndex,
                                                .mode = mode,
                                                .modeExtension = modeExtension})));
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
    // Mono at 48 kbit/s and below: the low-rate tables too.
    EXPECT_EQ(FrameLayout::of(headerOf(1, 2, 3, 0, 3)).sbLimit, 27);
    EXPECT_EQ(FrameLayout::of(headerOf(1, 2, 2, 0, 3)).sbLimit, 8);
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
