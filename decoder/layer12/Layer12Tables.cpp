#include "layer12/Layer12Tables.h"

#include <cmath>

namespace ombrix::mp3 {

namespace {

// Allocation rows as class numbers (1 = 3 steps, 2 = 5, 3 = 7, 4 = 9, 5 = 15, 6 = 31, ...,
// 17 = 65535 steps). The 3- and 2-bit rows use only their first 8 or 4 entries.
constexpr std::array<uint8_t, 16> kRowLow0 = {0,  1,  3,  5,  6,  7,  8,  9,
                                              10, 11, 12, 13, 14, 15, 16, 17};
constexpr std::array<uint8_t, 16> kRowLow3 = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 17};
constexpr std::array<uint8_t, 16> kRowMid = {0, 1, 2, 3, 4, 5, 6, 17};
constexpr std::array<uint8_t, 16> kRowHigh = {0, 1, 2, 17};
// The low-rate rows, also the 3- and 2-bit MPEG-2 rows: 3, 5 and 9 steps, then 15 to 32767.
constexpr std::array<uint8_t, 16> kRowLowRate = {0, 1,  2,  4,  5,  6,  7,  8,
                                                 9, 10, 11, 12, 13, 14, 15, 16};
// The 4-bit MPEG-2 row: 3, 5, 7 and 9 steps, then 15 to 16383.
constexpr std::array<uint8_t, 16> kRowMpeg2 = {0, 1, 2,  3,  4,  5,  6,  7,
                                               8, 9, 10, 11, 12, 13, 14, 15};

AllocationTable highRateTable(int sbLimit) {
    AllocationTable t;
    t.sbLimit = sbLimit;
    for (int sb = 0; sb < sbLimit; ++sb) {
        const auto i = static_cast<size_t>(sb);
        if (sb < 3) {
            t.nbal[i] = 4;
            t.classOf[i] = kRowLow0;
        } else if (sb < 11) {
            t.nbal[i] = 4;
            t.classOf[i] = kRowLow3;
        } else if (sb < 23) {
            t.nbal[i] = 3;
            t.classOf[i] = kRowMid;
        } else {
            t.nbal[i] = 2;
            t.classOf[i] = kRowHigh;
        }
    }
    return t;
}

AllocationTable lowRateTable(int sbLimit) {
    AllocationTable t;
    t.sbLimit = sbLimit;
    for (int sb = 0; sb < sbLimit; ++sb) {
        const auto i = static_cast<size_t>(sb);
        t.nbal[i] = sb < 2 ? 4 : 3;
        t.classOf[i] = kRowLowRate;
    }
    return t;
}

AllocationTable mpeg2Table() {
    AllocationTable t;
    t.sbLimit = 30;
    for (int sb = 0; sb < 30; ++sb) {
        const auto i = static_cast<size_t>(sb);
        t.nbal[i] = sb < 4 ? 4 : sb < 11 ? 3 : 2;
        t.classOf[i] = sb < 4 ? kRowMpeg2 : kRowLowRate;
    }
    return t;
}

}  // namespace

const Layer12Tables& Layer12Tables::instance() {
    static const Layer12Tables tables;
    return tables;
}

Layer12Tables::Layer12Tables()
    : tableA(highRateTable(27)),
      tableB(highRateTable(30)),
      tableC(lowRateTable(8)),
      tableD(lowRateTable(12)),
      tableMpeg2(mpeg2Table()) {
    for (int i = 0; i < 63; ++i) {
        scaleFactor[static_cast<size_t>(i)] =
            static_cast<float>(2.0 * std::pow(2.0, -static_cast<double>(i) / 3.0));
    }
    scaleFactor[63] = 0.0f;

    // Layer I: 2^n - 1 steps of n bits; a_n = 2 / (2^n - 1), b_n = -(2^(n-1) - 1) x a_n.
    for (int a = 1; a < 15; ++a) {
        const int n = a + 1;
        const double steps = std::ldexp(1.0, n) - 1.0;
        const double factor = 2.0 / steps;
        layer1Factor[static_cast<size_t>(a)] = static_cast<float>(factor);
        layer1Offset[static_cast<size_t>(a)] =
            static_cast<float>(-(std::ldexp(1.0, n - 1) - 1.0) * factor);
    }

    // Layer II classes. With k the bits of one sample (rounded up for the grouped classes),
    // C = 2^k / steps and D = 1 - (steps - 1) x 2^-k, so that C x (s' + D) = (2s - steps + 1) /
    // steps for s' = s x 2^(1-k) - 1: the levels are symmetric around 0.
    constexpr std::array<int, 17> kSteps = {3,   5,    7,    9,    15,   31,    63,    127,  255,
                                            511, 1023, 2047, 4095, 8191, 16383, 32767, 65535};
    size_t tripleSize = 0;
    for (int steps : kSteps) {
        if (steps == 3 || steps == 5 || steps == 9) {
            const int bits = steps == 3 ? 5 : steps == 5 ? 7 : 10;
            tripleSize += (size_t{1} << bits) * 3;
        }
    }
    tripleStore_.assign(tripleSize, 0.0f);
    size_t tripleAt = 0;
    for (size_t k = 0; k < kSteps.size(); ++k) {
        QuantClass& q = classes[k + 1];
        q.steps = kSteps[k];
        int sampleBits = 0;
        while ((1 << sampleBits) < q.steps) ++sampleBits;
        q.grouped = q.steps == 3 || q.steps == 5 || q.steps == 9;
        const double c = std::ldexp(1.0, sampleBits) / q.steps;
        const double d = 1.0 - (q.steps - 1) * std::ldexp(1.0, -sampleBits);
        q.c = static_cast<float>(c);
        q.d = static_cast<float>(d);
        if (!q.grouped) {
            q.bits = sampleBits;
            q.mul = static_cast<float>(c * std::ldexp(1.0, 1 - sampleBits));
            q.add = static_cast<float>(c * (d - 1.0));
            continue;
        }
        q.bits = q.steps == 3 ? 5 : q.steps == 5 ? 7 : 10;
        // Codewords at or beyond steps^3 cannot occur in a sound stream; they stay silent.
        float* rows = tripleStore_.data() + tripleAt;
        tripleAt += (size_t{1} << q.bits) * 3;
        const int codewords = q.steps * q.steps * q.steps;
        for (int code = 0; code < codewords; ++code) {
            int rest = code;
            for (int j = 0; j < 3; ++j) {
                const int s = rest % q.steps;
                rest /= q.steps;
                const double fraction = s * std::ldexp(1.0, 1 - sampleBits) - 1.0;
                rows[code * 3 + j] = static_cast<float>(c * (fraction + d));
            }
        }
        q.triples = rows;
    }
}

const AllocationTable& Layer12Tables::layer2Table(int id, int bitrateIndex, int samplingIndex,
                                                  int mode) const noexcept {
    if (id == 0) return tableMpeg2;
    // Rate class per channel: for two channels the index whose single-channel rate matches the
    // per-channel rate. Two-channel rates below 64 kbit/s are not allowed; the standard's rule by
    // per-channel rate puts them with the low rates.
    int b = bitrateIndex;
    if (mode != 3) b = b == 4 ? 1 : b - 4;
    if (b < 1) b = 1;
    if (b == 1 || b == 2) return samplingIndex == 2 ? tableD : tableC;
    if (samplingIndex == 1 || b == 3 || b == 4 || b == 5) return tableA;
    return tableB;
}

}  // namespace ombrix::mp3
