#include "layer3/Layer3Decoder.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "core/DecoderSettings.h"
#include "core/FrameHeader.h"
#include "core/FrameReader.h"
#include "layer3/HuffmanTables.h"
#include "layer3/Layer3Tables.h"
#include "output/WaveOutput.h"
#include "synthesis/SubbandSynthesizer.h"
#include "synthesis/SynthesisTables.h"

namespace ombrix::mp3 {

namespace {

// Constant tables computed once: powers and intensity ratios.
struct Constants {
    std::array<float, 512> pow43{};
    std::array<float, 4> quarter{};
    std::array<float, 7> isLeft{}, isRight{};   // MPEG-1 intensity, positions 0..6
    std::array<std::array<float, 32>, 2> io{};  // MPEG-2: io^n for io = 2^-1/4 and 2^-1/2

    Constants() {
        const double pi = std::acos(-1.0);
        for (int i = 0; i < 512; ++i)
            pow43[static_cast<size_t>(i)] = static_cast<float>(std::pow(i, 4.0 / 3.0));
        for (int i = 0; i < 4; ++i)
            quarter[static_cast<size_t>(i)] = static_cast<float>(std::pow(2.0, i / 4.0));
        for (int p = 0; p < 7; ++p) {
            if (p == 6) {
                isLeft[6] = 1.0f;
                isRight[6] = 0.0f;
                continue;
            }
            const double r = std::tan(p * pi / 12.0);
            isLeft[static_cast<size_t>(p)] = static_cast<float>(r / (1.0 + r));
            isRight[static_cast<size_t>(p)] = static_cast<float>(1.0 / (1.0 + r));
        }
        for (int n = 0; n < 32; ++n) {
            io[0][static_cast<size_t>(n)] = static_cast<float>(std::pow(2.0, -0.25 * n));
            io[1][static_cast<size_t>(n)] = static_cast<float>(std::pow(2.0, -0.5 * n));
        }
    }
};

const Constants& constants() {
    static const Constants c;
    return c;
}

constexpr float kInvSqrt2 = 0.70710677f;

// Reads the reservoir through a 64-bit cache held in registers, so that most code words cost no
// memory access beyond their table entry. The caller writes the position back when done.
class CachedBits {
public:
    explicit CachedBits(const BitReservoir& reservoir) noexcept
        : reservoir_(reservoir), position_(reservoir.bitsRead()) {
        refill();
    }

    /// The next bits in the top of a 32-bit word, at least `n` (at most 25) of them valid.
    uint32_t peek(int n) noexcept {
        if (valid_ < n) refill();
        return static_cast<uint32_t>(cache_ >> 32);
    }
    void skip(int n) noexcept {
        cache_ <<= n;
        valid_ -= n;
        position_ += n;
    }
    /// The next `n` bits (1..25).
    uint32_t get(int n) noexcept {
        const uint32_t v = peek(n) >> (32 - n);
        skip(n);
        return v;
    }
    int64_t position() const noexcept { return position_; }

private:
    void refill() noexcept {
        cache_ = reservoir_.window64(position_);
        valid_ = 57;
    }

    const BitReservoir& reservoir_;
    int64_t position_;
    uint64_t cache_ = 0;
    int valid_ = 0;
};

// A decoded magnitude with its sign bit, the bit after `length` bits of `window` when the
// magnitude is not 0; `length` then counts the sign bit.
inline int applySign(int magnitude, uint32_t window, int& length) noexcept {
    const int present = magnitude != 0;
    const int negative = static_cast<int>((window << length) >> 31) & present;
    length += present;
    return (magnitude ^ -negative) + negative;
}

inline float gainOf(int quarterExponent) noexcept {
    const float quarter = constants().quarter[static_cast<size_t>(quarterExponent & 3)];
    const int exponent = quarterExponent >> 2;
    // Powers of two in the normal range are built from their exponent bits (ldexp is a library
    // call); the rare rest, down to the subnormals, goes through ldexp.
    if (exponent >= -126 && exponent <= 127)
        return quarter * std::bit_cast<float>(static_cast<uint32_t>(exponent + 127) << 23);
    return std::ldexp(quarter, exponent);
}

}  // namespace

Layer3Decoder::Layer3Decoder(const DecoderContext& context)
    : context_(context), huffman_(HuffmanTables::instance()) {
    const FrameHeader& h = context_.header;
    mpeg1_ = h.id;
    granules_ = mpeg1_ ? 2 : 1;
    channels_ = h.channels();
    rateRow_ = mpeg1_ ? h.samplingIndex + 3 : h.samplingIndex;
    mixedLongBands_ = mpeg1_ ? 8 : 6;
    constants();
    reset();
    context_.settings.windowTablesReady = true;
    buildWindowTables();
}

void Layer3Decoder::buildWindowTables() {
    // Read after windowTablesReady was set: a flag change from now on clears it again.
    scaledHandOff_ = context_.settings.useMmx();
    for (HybridFilterbank& f : filterbank_) f.setScale(scaledHandOff_);
}

void Layer3Decoder::reset() {
    for (HybridFilterbank& f : filterbank_) f.reset();
    reservoir_ = BitReservoir{};
    frameStart_ = 0;
}

bool Layer3Decoder::readSideInfo() {
    FrameReader& r = context_.reader;
    bool valid = true;
    if (mpeg1_) {
        mainDataBegin_ = static_cast<int>(r.getBits(9));
        r.getBits(channels_ == 1 ? 5 : 3);
        for (int ch = 0; ch < channels_; ++ch)
            for (int g = 0; g < 4; ++g)
                scfsi_[static_cast<size_t>(ch)][static_cast<size_t>(g)] =
                    static_cast<int>(r.getBits(1));
    } else {
        mainDataBegin_ = static_cast<int>(r.getBits(8));
        r.getBits(channels_ == 1 ? 1 : 2);
    }
    for (int gr = 0; gr < granules_; ++gr) {
        for (int ch = 0; ch < channels_; ++ch) {
            Granule& g = side_[static_cast<size_t>(gr)][static_cast<size_t>(ch)];
            g.part23Length = static_cast<int>(r.getBits(12));
            g.bigValues = std::min(static_cast<int>(r.getBits(9)), 288);
            g.globalGain = static_cast<int>(r.getBits(8));
            g.scalefacCompress = static_cast<int>(r.getBits(mpeg1_ ? 4 : 9));
            g.windowSwitching = static_cast<int>(r.getBits(1));
            if (g.windowSwitching) {
                g.blockType = static_cast<int>(r.getBits(2));
                g.mixedBlock = static_cast<int>(r.getBits(1));
                for (int i = 0; i < 2; ++i)
                    g.tableSelect[static_cast<size_t>(i)] = static_cast<int>(r.getBits(5));
                g.tableSelect[2] = 0;
                for (int i = 0; i < 3; ++i)
                    g.subblockGain[static_cast<size_t>(i)] = static_cast<int>(r.getBits(3));
                if (g.blockType == 2 && !g.mixedBlock) {
                    g.region0Count = 8;
                    g.region1Count = 12;
                } else {
                    g.region0Count = 7;
                    g.region1Count = 13;
                }
                // Window switching with block type 0 cannot be decoded: the frame is skipped.
                if (g.blockType == 0) valid = false;
            } else {
                g.blockType = 0;
                g.mixedBlock = 0;
                for (int i = 0; i < 3; ++i)
                    g.tableSelect[static_cast<size_t>(i)] = static_cast<int>(r.getBits(5));
                g.subblockGain = {0, 0, 0};
                g.region0Count = static_cast<int>(r.getBits(4));
                g.region1Count = static_cast<int>(r.getBits(3));
            }
            g.preflag = mpeg1_ ? static_cast<int>(r.getBits(1)) : 0;
            g.scalefacScale = static_cast<int>(r.getBits(1));
            g.count1Table = static_cast<int>(r.getBits(1));
        }
    }
    return valid;
}

void Layer3Decoder::readScalefactors(int gr, int ch) {
    const Granule& g = side_[static_cast<size_t>(gr)][static_cast<size_t>(ch)];
    Scalefactors& sf = sf_[static_cast<size_t>(ch)];
    illegalLong_.fill(7);
    illegalShort_.fill(7);
    if (!mpeg1_) {
        readScalefactorsMpeg2(ch);
        return;
    }
    const int slen1 = kSlen1[static_cast<size_t>(g.scalefacCompress)];
    const int slen2 = kSlen2[static_cast<size_t>(g.scalefacCompress)];
    if (shortBlocks(g)) {
        int first = 0;
        if (g.mixedBlock) {
            for (int b = 0; b < 8; ++b)
                sf.l[static_cast<size_t>(b)] = static_cast<int>(reservoir_.getBits(slen1));
            first = 3;
        }
        for (int b = first; b < 12; ++b)
            for (int w = 0; w < 3; ++w)
                sf.s[static_cast<size_t>(b)][static_cast<size_t>(w)] =
                    static_cast<int>(reservoir_.getBits(b < 6 ? slen1 : slen2));
        sf.s[12] = {0, 0, 0};
        return;
    }
    static constexpr int kGroups[5] = {0, 6, 11, 16, 21};
    for (int group = 0; group < 4; ++group) {
        if (gr == 1 && scfsi_[static_cast<size_t>(ch)][static_cast<size_t>(group)]) continue;
        const int bits = group < 2 ? slen1 : slen2;
        for (int b = kGroups[group]; b < kGroups[group + 1]; ++b)
            sf.l[static_cast<size_t>(b)] = static_cast<int>(reservoir_.getBits(bits));
    }
    sf.l[21] = sf.l[22] = 0;
}

void Layer3Decoder::readScalefactorsMpeg2(int ch) {
    Granule& g = side_[0][static_cast<size_t>(ch)];
    Scalefactors& sf = sf_[static_cast<size_t>(ch)];
    const int sc = g.scalefacCompress;
    int slen[4] = {0, 0, 0, 0};
    int table = 0;
    const bool intensityChannel = ch == 1 && (context_.header.modeExtension & 1) &&
                                  context_.header.mode == FrameHeader::kJointStereo;
    g.preflag = 0;
    if (intensityChannel) {
        const int half = sc >> 1;
        if (half < 180) {
            slen[0] = half / 36;
            slen[1] = (half % 36) / 6;
            slen[2] = (half % 36) % 6;
            table = 3;
        } else if (half < 244) {
            slen[0] = ((half - 180) % 64) >> 4;
            slen[1] = ((half - 180) % 16) >> 2;
            slen[2] = (half - 180) % 4;
            table = 4;
        } else {
            slen[0] = (half - 244) / 3;
            slen[1] = (half - 244) % 3;
            table = 5;
        }
    } else if (sc < 400) {
        slen[0] = (sc >> 4) / 5;
        slen[1] = (sc >> 4) % 5;
        slen[2] = (sc % 16) >> 2;
        slen[3] = sc % 4;
        table = 0;
    } else if (sc < 500) {
        const int d = sc - 400;
        slen[0] = (d >> 2) / 5;
        slen[1] = (d >> 2) % 5;
        slen[2] = d % 4;
        table = 1;
    } else {
        const int d = sc - 500;
        slen[0] = d / 3;
        slen[1] = d % 3;
        table = 2;
        g.preflag = 1;
    }
    const int row = shortBlocks(g) ? (g.mixedBlock ? 2 : 1) : 0;
    int values[40] = {};
    int illegal[40] = {};
    int n = 0;
    for (int p = 0; p < 4; ++p) {
        const int count = kPartitionSizes[table][row][p];
        for (int i = 0; i < count && n < 40; ++i, ++n) {
            values[n] = slen[p] ? static_cast<int>(reservoir_.getBits(slen[p])) : 0;
            illegal[n] = (1 << slen[p]) - 1;
        }
    }
    n = 0;
    if (row == 0) {
        for (int b = 0; b < 21; ++b, ++n) {
            sf.l[static_cast<size_t>(b)] = values[n];
            illegalLong_[static_cast<size_t>(b)] = illegal[n];
        }
        sf.l[21] = sf.l[22] = 0;
        illegalLong_[21] = illegalLong_[20];
        return;
    }
    int first = 0;
    if (row == 2) {
        for (int b = 0; b < 6; ++b, ++n) {
            sf.l[static_cast<size_t>(b)] = values[n];
            illegalLong_[static_cast<size_t>(b)] = illegal[n];
        }
        first = 3;
    }
    for (int b = first; b < 12; ++b) {
        for (int w = 0; w < 3; ++w, ++n)
            sf.s[static_cast<size_t>(b)][static_cast<size_t>(w)] = values[n];
        illegalShort_[static_cast<size_t>(b)] = illegal[n - 1];
    }
    sf.s[12] = {0, 0, 0};
    illegalShort_[12] = illegalShort_[11];
}

bool Layer3Decoder::huffmanDecode(int ch, const Granule& g, int64_t end) {
    int* q = quantized_[static_cast<size_t>(ch)].data();
    const BandTable& bands = kBandTables[static_cast<size_t>(rateRow_)];
    const int bigEnd = std::min(2 * g.bigValues, 576);
    int region1 = 36, region2 = 576;
    if (!shortBlocks(g)) {
        region1 = bands.longStart[static_cast<size_t>(std::min(g.region0Count + 1, 22))];
        region2 =
            bands.longStart[static_cast<size_t>(std::min(g.region0Count + g.region1Count + 2, 22))];
    }
    CachedBits bits(reservoir_);
    int i = 0;
    bool ok = true;
    while (i < bigEnd) {
        const int regionEnd = std::min(i < region1 ? region1 : i < region2 ? region2 : 576, bigEnd);
        const int table = g.tableSelect[i < region1 ? 0 : i < region2 ? 1 : 2];
        const HuffmanTree* tree = huffman_.pairTree(table);
        if (!tree) {
            for (; i < regionEnd; i += 2) q[i] = q[i + 1] = 0;
            continue;
        }
        const int linbits = huffman_.linbits(table);
        for (; i < regionEnd; i += 2) {
            // A code word (at most 19 bits) and its two sign bits.
            const uint32_t window = bits.peek(21);
            int length = 0;
            const int value = tree->decode(window, length);
            if (value < 0 || bits.position() + length > end) {
                ok = false;
                break;
            }
            int x = value >> 4, y = value & 15;
            if (linbits && (x == 15 || y == 15)) {
                bits.skip(length);
                if (x == 15) x += static_cast<int>(bits.get(linbits));
                if (x && bits.get(1)) x = -x;
                if (y == 15) y += static_cast<int>(bits.get(linbits));
                if (y && bits.get(1)) y = -y;
            } else {
                // Branch-free: the signs are as good as random.
                x = applySign(x, window, length);
                y = applySign(y, window, length);
                bits.skip(length);
            }
            q[i] = x;
            q[i + 1] = y;
        }
        if (!ok) break;
    }
    if (ok) {
        const HuffmanTree& quads = huffman_.quadTree(g.count1Table);
        while (bits.position() < end && i + 4 <= 576) {
            const uint32_t window = bits.peek(10);  // a code word of at most 6 bits, 4 signs
            int length = 0;
            const int value = quads.decode(window, length);
            if (value < 0) {
                ok = false;
                break;
            }
            for (int k = 0; k < 4; ++k)
                q[i + k] = applySign((value >> (3 - k)) & 1, window, length);
            bits.skip(length);
            if (bits.position() > end) {
                // The last quadruple ran past the granule's bits: it does not count.
                q[i] = q[i + 1] = q[i + 2] = q[i + 3] = 0;
                break;
            }
            i += 4;
        }
    }
    reservoir_.setBitsRead(bits.position());
    // A code that does not end in its tree (corrupt data): the rest of the granule is silent.
    nonZeroEnd_[static_cast<size_t>(ch)] = i;
    std::fill(q + i, q + 576, 0);
    return ok;
}

void Layer3Decoder::dequantize(int ch, const Granule& g) {
    const Constants& c = constants();
    const int* q = quantized_[static_cast<size_t>(ch)].data();
    float* xr = spectrum_[static_cast<size_t>(ch)].data();
    const Scalefactors& sf = sf_[static_cast<size_t>(ch)];
    const BandTable& bands = kBandTables[static_cast<size_t>(rateRow_)];
    const int end = nonZeroEnd_[static_cast<size_t>(ch)];
    const int base = g.globalGain - 210;
    const int shift = 2 * (1 + g.scalefacScale);
    // Zero lines need no test of their own: the table's first entry is 0.
    auto value = [&](int i, float gain) {
        const int v = q[i];
        const int a = v < 0 ? -v : v;
        const float m =
            a < 512 ? c.pow43[static_cast<size_t>(a)] : static_cast<float>(std::pow(a, 4.0 / 3.0));
        // The sign goes straight into the sign bit: a branch on it would be mispredicted half the
        // time.
        const uint32_t sign = static_cast<uint32_t>(v) & 0x80000000u;
        xr[i] = std::bit_cast<float>(std::bit_cast<uint32_t>(m * gain) ^ sign);
    };
    int longBands = 22;
    int firstShort = 13;
    if (shortBlocks(g)) {
        longBands = g.mixedBlock ? mixedLongBands_ : 0;
        firstShort = g.mixedBlock ? 3 : 0;
    }
    for (int b = 0; b < longBands; ++b) {
        const int start = bands.longStart[static_cast<size_t>(b)];
        if (start >= end) break;
        const int stop = std::min<int>(bands.longStart[static_cast<size_t>(b + 1)], end);
        const int pre = g.preflag ? kPretab[static_cast<size_t>(b)] : 0;
        const float gain = gainOf(base - shift * (sf.l[static_cast<size_t>(b)] + pre));
        for (int i = start; i < stop; ++i) value(i, gain);
    }
    for (int b = firstShort; b < 13; ++b) {
        const int start = bands.shortStart[static_cast<size_t>(b)];
        const int width = bands.shortStart[static_cast<size_t>(b + 1)] - start;
        for (int w = 0; w < 3; ++w) {
            const int first = 3 * start + w * width;
            if (first >= end) continue;
            const float gain = gainOf(base - 8 * g.subblockGain[static_cast<size_t>(w)] -
                                      shift * sf.s[static_cast<size_t>(b)][static_cast<size_t>(w)]);
            const int stop = std::min(first + width, end);
            for (int i = first; i < stop; ++i) value(i, gain);
        }
    }
    std::fill(xr + end, xr + 576, 0.0f);
}

void Layer3Decoder::intensity(int gr, bool ms) {
    const Constants& c = constants();
    const Granule& g = side_[static_cast<size_t>(gr)][1];
    const Scalefactors& sf = sf_[1];
    const BandTable& bands = kBandTables[static_cast<size_t>(rateRow_)];
    const float* right = spectrum_[1].data();
    isPos_.fill(-1);
    auto lastNonZero = [&](int from, int to) {  // last non-zero line in [from, to), else -1
        for (int i = to - 1; i >= from; --i)
            if (right[i] != 0.0f) return i;
        return -1;
    };
    auto markLong = [&](int startBand, int endBand) {
        for (int b = startBand; b < endBand; ++b) {
            const int src = b == 21 ? 20 : b;
            const int pos = sf.l[static_cast<size_t>(src)];
            if (pos == illegalLong_[static_cast<size_t>(src)]) continue;
            for (int i = bands.longStart[static_cast<size_t>(b)];
                 i < bands.longStart[static_cast<size_t>(b + 1)]; ++i)
                isPos_[static_cast<size_t>(i)] = pos;
        }
    };
    if (!shortBlocks(g)) {
        // Intensity starts in the band after the right channel's last non-zero line, or at band 0
        // when the right channel is all zero (as the standard says).
        const int last = lastNonZero(0, 576);
        int startBand = 0;
        if (last >= 0) {
            while (startBand < 22 && bands.longStart[static_cast<size_t>(startBand + 1)] <= last)
                ++startBand;
            ++startBand;
        }
        markLong(startBand, 22);
    } else {
        const int firstShort = g.mixedBlock ? 3 : 0;
        bool shortPartEmpty = true;
        for (int w = 0; w < 3; ++w) {
            int startBand = firstShort;
            for (int b = 12; b >= firstShort; --b) {
                const int start = bands.shortStart[static_cast<size_t>(b)];
                const int width = bands.shortStart[static_cast<size_t>(b + 1)] - start;
                const int first = 3 * start + w * width;
                if (lastNonZero(first, first + width) >= 0) {
                    startBand = b + 1;
                    shortPartEmpty = false;
                    break;
                }
            }
            for (int b = startBand; b < 13; ++b) {
                const int src = b == 12 ? 11 : b;
                const int pos = sf.s[static_cast<size_t>(src)][static_cast<size_t>(w)];
                if (pos == illegalShort_[static_cast<size_t>(src)]) continue;
                const int start = bands.shortStart[static_cast<size_t>(b)];
                const int width = bands.shortStart[static_cast<size_t>(b + 1)] - start;
                const int first = 3 * start + w * width;
                for (int i = first; i < first + width; ++i) isPos_[static_cast<size_t>(i)] = pos;
            }
        }
        if (g.mixedBlock && shortPartEmpty) {
            const int last = lastNonZero(0, 36);
            int startBand = 0;
            if (last >= 0) {
                while (startBand < mixedLongBands_ &&
                       bands.longStart[static_cast<size_t>(startBand + 1)] <= last)
                    ++startBand;
                ++startBand;
            }
            markLong(startBand, mixedLongBands_);
        }
    }
    float* l = spectrum_[0].data();
    float* r = spectrum_[1].data();
    // MPEG-2 intensity scale from the intensity channel's scalefac_compress.
    const auto& io =
        c.io[static_cast<size_t>(side_[static_cast<size_t>(gr)][1].scalefacCompress & 1)];
    for (int i = 0; i < 576; ++i) {
        const int pos = isPos_[static_cast<size_t>(i)];
        bool done = false;
        if (pos >= 0) {
            const float x = l[i];
            if (mpeg1_) {
                if (pos < 7) {
                    l[i] = x * c.isLeft[static_cast<size_t>(pos)];
                    r[i] = x * c.isRight[static_cast<size_t>(pos)];
                    done = true;
                }
            } else {
                const int p = std::min(pos, 62);
                float kl = 1.0f, kr = 1.0f;
                if (p & 1)
                    kl = io[static_cast<size_t>(std::min((p + 1) / 2, 31))];
                else if (p)
                    kr = io[static_cast<size_t>(std::min(p / 2, 31))];
                l[i] = x * kl;
                r[i] = x * kr;
                done = true;
            }
        }
        if (!done && ms) {
            const float m = l[i], s = r[i];
            l[i] = (m + s) * kInvSqrt2;
            r[i] = (m - s) * kInvSqrt2;
        }
    }
}

void Layer3Decoder::stereo(int gr) {
    const FrameHeader& h = context_.header;
    if (channels_ != 2 || h.mode != FrameHeader::kJointStereo) return;
    const bool ms = (h.modeExtension & 2) != 0;
    const bool is = (h.modeExtension & 1) != 0;
    if (is) {
        intensity(gr, ms);
        return;
    }
    if (!ms) return;
    float* l = spectrum_[0].data();
    float* r = spectrum_[1].data();
    for (int i = 0; i < 576; ++i) {
        const float m = l[i], s = r[i];
        l[i] = (m + s) * kInvSqrt2;
        r[i] = (m - s) * kInvSqrt2;
    }
}

void Layer3Decoder::synthesize(int ch, const Granule& g) {
    alignas(32) float out[18][32];
    HybridFilterbank::Blocks blocks;
    blocks.windowSwitching = g.windowSwitching != 0;
    blocks.blockType = g.blockType;
    blocks.mixed = g.mixedBlock != 0;
    // Stereo processing mixes the channels, so either channel may reach the other's last line.
    const int activeLines =
        channels_ == 2 ? std::max(nonZeroEnd_[0], nonZeroEnd_[1]) : nonZeroEnd_[0];
    filterbank_[static_cast<size_t>(ch)].process(
        spectrum_[static_cast<size_t>(ch)].data(), activeLines,
        kBandTables[static_cast<size_t>(rateRow_)], blocks, out);
    SubbandSynthesizer* synth = context_.synth[static_cast<size_t>(ch)];
    if (!synth) return;
    WaveOutput& output = context_.output;
    for (int t = 0; t < 18; ++t) {
        if (scaledHandOff_) {
            for (int sb = 0; sb < 32; ++sb) {
                const float v = limitForConversion(out[t][sb]);
                synth->inputInt[static_cast<size_t>(sb)] = static_cast<int32_t>(std::lrintf(v));
            }
            synth->synthesizeInt(output);
        } else {
            std::copy(out[t], out[t] + 32, synth->input.begin());
            synth->synthesizeFloat(output);
        }
    }
}

void Layer3Decoder::decodeFrame(Crc16*) {
    FrameHeader& h = context_.header;
    FrameReader& r = context_.reader;
    const bool valid = readSideInfo();

    // Main data of this frame into the reservoir.
    const uint32_t offset =
        (h.protectionAbsent ? 0u : 2u) + static_cast<uint32_t>(h.sideInfoLength());
    const uint32_t payload = r.payloadLength();
    const uint32_t length = offset < payload ? std::min(h.mainDataLength, payload - offset) : 0u;
    reservoir_.append(r.payload() + offset, length);

    int64_t bits = (reservoir_.bitsRead() + 7) & ~int64_t{7};
    const int64_t consumed = bits / 8;
    const int64_t start = frameStart_ - mainDataBegin_;
    frameStart_ += length;
    // Not enough main data yet (first frames after a start or a seek), or data that the ring has
    // already overwritten (a corrupt main_data_begin): no samples from this frame.
    if (!valid || start < consumed || start < reservoir_.bytesWritten() - BitReservoir::kSize) {
        reservoir_.setBitsRead(std::max(bits, reservoir_.bitsRead()));
        return;
    }
    reservoir_.setBitsRead(start * 8);

    // The window tables follow the processor flags; a change is seen at the next frame.
    if (!context_.settings.windowTablesReady.exchange(true)) buildWindowTables();

    for (int gr = 0; gr < granules_; ++gr) {
        for (int ch = 0; ch < channels_; ++ch) {
            const Granule& g = side_[static_cast<size_t>(gr)][static_cast<size_t>(ch)];
            const int64_t part2Start = reservoir_.bitsRead();
            const int64_t end = part2Start + g.part23Length;
            if (end > reservoir_.bytesWritten() * 8) {
                // part2_3_length beyond the data received: the granule is silent.
                quantized_[static_cast<size_t>(ch)].fill(0);
                spectrum_[static_cast<size_t>(ch)].fill(0.0f);
                nonZeroEnd_[static_cast<size_t>(ch)] = 0;
                reservoir_.setBitsRead(reservoir_.bytesWritten() * 8);
                continue;
            }
            readScalefactors(gr, ch);
            if (reservoir_.bitsRead() > end) {
                quantized_[static_cast<size_t>(ch)].fill(0);
                nonZeroEnd_[static_cast<size_t>(ch)] = 0;
            } else {
                huffmanDecode(ch, g, end);
            }
            reservoir_.setBitsRead(end);
            dequantize(ch, side_[static_cast<size_t>(gr)][static_cast<size_t>(ch)]);
        }
        stereo(gr);
        if (context_.settings.eqEnabled.load(std::memory_order_relaxed)) {
            float gains[32];
            for (int b = 0; b < 32; ++b)
                gains[b] = context_.settings.eqGains[static_cast<size_t>(b)].load(
                    std::memory_order_relaxed);
            for (int ch = 0; ch < channels_; ++ch) {
                float* xr = spectrum_[static_cast<size_t>(ch)].data();
                for (int i = 0; i < 576; ++i) xr[i] *= gains[i / 18];
            }
        }
        for (int ch = 0; ch < channels_; ++ch)
            synthesize(ch, side_[static_cast<size_t>(gr)][static_cast<size_t>(ch)]);
    }
    context_.output.flush();
}

}  // namespace ombrix::mp3
