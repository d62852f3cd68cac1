#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "DecodeSupport.h"

using namespace ombrix::test;

namespace {

// Long-block band starts at 48 and 24 kHz.
constexpr std::array<int, 23> kBands48 = {0,  4,  8,   12,  16,  20,  24,  30,  36,  42,  50, 60,
                                          72, 88, 106, 128, 156, 190, 230, 276, 330, 384, 576};
constexpr std::array<int, 23> kBands24 = {0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
                                          114, 136, 162, 194, 232, 278, 332, 394, 464, 540, 576};

struct Channel {
    std::array<int, 576> values{};       // -1, 0 or +1
    std::array<int, 21> scalefactors{};  // bands 0..10 in 4 bits, 11..20 in 3 bits
};

// How one granule's scale factors and side information are written.
struct Layout {
    bool mpeg1 = true;
    int scalefacCompress = 15;  // MPEG-1: slen 4 and 3
    std::array<int, 21> slen{};
};

Layout mpeg1Layout() {
    Layout l;
    for (int b = 0; b < 21; ++b) l.slen[b] = b < 11 ? 4 : 3;
    return l;
}

// Huffman table 1 with its sign bits: the pairs of `values` up to the last non-zero pair.
void writeGranule(BitWriter& main, BitWriter& side, const Channel& ch, const Layout& layout) {
    BitWriter body;
    for (int b = 0; b < 21; ++b)
        if (layout.slen[b]) body.put(static_cast<uint32_t>(ch.scalefactors[b]), layout.slen[b]);
    int pairs = 0;
    for (int i = 0; i < 576; i += 2)
        if (ch.values[i] || ch.values[i + 1]) pairs = i / 2 + 1;
    for (int p = 0; p < pairs; ++p) {
        const int x = ch.values[2 * p], y = ch.values[2 * p + 1];
        static const uint32_t code[2][2] = {{1, 1},
                                            {1, 0}};  // (0,0) 1, (0,1) 001, (1,0) 01, (1,1) 000
        static const int length[2][2] = {{1, 3}, {2, 3}};
        body.put(code[x != 0][y != 0], length[x != 0][y != 0]);
        if (x) body.put(x < 0, 1);
        if (y) body.put(y < 0, 1);
    }
    side.put(static_cast<uint32_t>(body.bitCount()), 12);  // part2_3_length
    side.put(static_cast<uint32_t>(pairs), 9);             // big_values
    side.put(170, 8);                                      // global_gain: quiet, no clipping
    side.put(static_cast<uint32_t>(layout.scalefacCompress), layout.mpeg1 ? 4 : 9);
    side.put(0, 1);                              // no window switching
    for (int r = 0; r < 3; ++r) side.put(1, 5);  // table 1 everywhere
    side.put(15, 4);
    side.put(7, 3);
    side.put(0, layout.mpeg1 ? 3 : 2);  // (preflag,) scalefac_scale, count1 table
    for (size_t i = 0; i < body.bitCount(); ++i) {
        const uint8_t byte = body.bytes()[i / 8];
        main.put((byte >> (7 - i % 8)) & 1, 1);
    }
}

// MPEG-1 at 48 kHz and 128 kbit/s (384-byte frames, the same two granules in every frame) or
// MPEG-2 at 24 kHz and 64 kbit/s (192-byte frames, one granule each), intensity stereo or plain.
std::vector<uint8_t> buildStream(bool mpeg1, bool intensity, const Channel& left,
                                 const Channel& right, const Layout& plain,
                                 const Layout& rightLayout) {
    const size_t frameBytes = mpeg1 ? 384 : 192;
    const size_t sideBytes = mpeg1 ? 32 : 17;
    std::vector<uint8_t> file;
    for (int frame = 0; frame < (mpeg1 ? 12 : 20); ++frame) {
        BitWriter side, main;
        side.put(0, mpeg1 ? 20 : 10);  // main_data_begin, private bits (and scfsi)
        for (int gr = 0; gr < (mpeg1 ? 2 : 1); ++gr) {
            writeGranule(main, side, left, plain);
            writeGranule(main, side, right, rightLayout);
        }
        const uint8_t header[4] = {0xFF, static_cast<uint8_t>(mpeg1 ? 0xFB : 0xF3),
                                   static_cast<uint8_t>(mpeg1 ? 0x94 : 0x84),
                                   static_cast<uint8_t>(intensity ? 0x50 : 0x00)};
        file.insert(file.end(), header, header + 4);
        file.insert(file.end(), side.bytes().begin(), side.bytes().end());
        std::vector<uint8_t> data = main.bytes();
        data.resize(frameBytes - 4 - sideBytes, 0);
        file.insert(file.end(), data.begin(), data.end());
    }
    return file;
}

// The intensity stream must sound exactly like the same spectrum coded as plain stereo.
void expectSameSound(const std::vector<uint8_t>& intensity, const std::vector<uint8_t>& plain,
                     int rate) {
    TempDir dir;
    writeFile(dir / "is.mp3", intensity);
    writeFile(dir / "plain.mp3", plain);
    const DecodedPcm is = decodeFile((dir / "is.mp3").string());
    const DecodedPcm ps = decodeFile((dir / "plain.mp3").string());
    ASSERT_EQ(is.result, 1);
    ASSERT_EQ(is.channels, 2);
    ASSERT_EQ(is.rate, rate);
    ASSERT_EQ(is.samples.size(), ps.samples.size());
    ASSERT_GT(is.samples.size(), 0u);
    int worst = 0, loudest = 0;
    for (size_t i = 0; i < is.samples.size(); ++i) {
        worst = std::max(worst, std::abs(is.samples[i] - ps.samples[i]));
        loudest = std::max(loudest, std::abs(static_cast<int>(ps.samples[i])));
    }
    EXPECT_LE(worst, 1);
    EXPECT_GT(loudest, 100);  // the streams are not silent
}

// What one intensity position means in the plain-stereo coding of the same spectrum: whether
// the left values stay on each side, and the scale factors that give their level there.
struct Position {
    int pos;
    bool left, right;
    int leftScale, rightScale;
};

struct IntensityCase {
    const char* label;
    bool mpeg1;
    const std::array<int, 23>* bands;
    int rightLines;  // non-zero right lines; intensity starts in the band after them
    int firstBand;
    std::array<Position, 4> pattern;  // band b takes pattern[b % 4]
    Layout plain, is;
    int rate;
};

Layout mpeg2Layout(int compress, int slen) {
    Layout l{.mpeg1 = false, .scalefacCompress = compress};
    l.slen.fill(slen);
    return l;
}

}  // namespace

// MPEG-1 (48 kHz): position 6 puts everything left, 0 everything right, 3 halves both (a scale
// factor of 2 at scalefac_scale 0); 7 is a band without intensity. Intensity starts after the
// right channel's last non-zero band, or at band 0 when the right channel is all zero.
// MPEG-2 (24 kHz) with io = 2^-1/4 (the intensity channel's scalefac_compress 258 is even):
// position 0 copies the left to both, 3 scales the left by io^2, 4 the right (a scale factor of
// 1 each); 7, the largest 3-bit position, marks bands without intensity.
TEST(Layer3Intensity, PositionsSplitTheLeftSpectrumLikePlainStereo) {
    const std::array<Position, 4> mpeg1 = {Position{6, true, false, 0, 0},
                                           {3, true, true, 2, 2},
                                           {0, false, true, 0, 0},
                                           {7, true, false, 0, 0}};
    const std::array<Position, 4> mpeg2 = {Position{0, true, true, 0, 0},
                                           {3, true, true, 1, 0},
                                           {4, true, true, 0, 1},
                                           {7, true, false, 0, 0}};
    const IntensityCase cases[] = {
        {"mpeg1", true, &kBands48, 16, 4, mpeg1, mpeg1Layout(), mpeg1Layout(), 48000},
        {"mpeg1 right silent", true, &kBands48, 0, 0, mpeg1, mpeg1Layout(), mpeg1Layout(), 48000},
        // Plain channels: 1 bit for every band; the intensity channel 3 bits.
        {"mpeg2", false, &kBands24, 18, 3, mpeg2, mpeg2Layout(101, 1), mpeg2Layout(258, 3), 24000},
    };
    for (const IntensityCase& c : cases) {
        SCOPED_TRACE(c.label);
        const auto& bands = *c.bands;
        Channel isLeft, isRight, plainLeft, plainRight;
        for (int i = 0; i < 200; ++i) isLeft.values[i] = (i % 3 == 1) ? -1 : 1;
        for (int i = 0; i < c.rightLines; ++i)
            isRight.values[i] = plainRight.values[i] = (i % 2) ? 1 : -1;
        for (int i = 0; i < bands[c.firstBand]; ++i) plainLeft.values[i] = isLeft.values[i];
        for (int b = c.firstBand; b < 22; ++b) {
            const Position& p = c.pattern[std::min(b, 20) % 4];  // band 21 follows band 20
            for (int i = bands[b]; i < bands[b + 1]; ++i) {
                plainLeft.values[i] = p.left ? isLeft.values[i] : 0;
                plainRight.values[i] = p.right ? isLeft.values[i] : 0;
            }
            if (b == 21) continue;
            isRight.scalefactors[b] = p.pos;
            plainLeft.scalefactors[b] = p.leftScale;
            plainRight.scalefactors[b] = p.rightScale;
        }
        expectSameSound(buildStream(c.mpeg1, true, isLeft, isRight, c.plain, c.is),
                        buildStream(c.mpeg1, false, plainLeft, plainRight, c.plain, c.plain),
                        c.rate);
    }
}
