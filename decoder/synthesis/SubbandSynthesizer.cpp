#include "synthesis/SubbandSynthesizer.h"

#include <algorithm>
#include <climits>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/DecoderSettings.h"
#include "output/WaveOutput.h"
#include "synthesis/Dct32.h"
#include "synthesis/SynthesisTables.h"
#include "synthesis/WindowKernels.h"

namespace ombrix::mp3 {

namespace {

constexpr int kRow = 32;             // stored slots per integer history row
constexpr int kBank = 32 * kRow;     // one integer bank
constexpr int kFloatBank = 16 * 32;  // one float bank: 16 columns of 32 values

// Spreads the 32 DCT outputs X into the two 32-value halves of the 64 matrixed values V.
template <typename T>
inline void splitMatrixed(const T* x, T* first, T* second) noexcept {
    for (int i = 0; i < 16; ++i) first[i] = x[i + 16];
    first[16] = 0;
    for (int i = 17; i < 32; ++i) first[i] = -x[48 - i];
    for (int i = 0; i < 16; ++i) second[i] = -x[16 - i];   // V[32 + i], i < 16
    for (int i = 16; i < 32; ++i) second[i] = -x[i - 16];  // V[32 + i], i >= 16
}

// Stores v as high x 2^15 + low (low within -16384..16383, so that its product with a tap's
// remainder, which the windowing leaves out, stays small and unbiased) in both copies of its
// history slot (column c and c + 16). The high part is held to +-32767 so that no pair of
// multiply-add products reaches 2^31.
inline void storeSplit(int32_t v, std::array<int16_t, 2 * 32 * 32>& high,
                       std::array<int16_t, 2 * 32 * 32>& low, size_t slot) noexcept {
    // In 64 bits: near the 32-bit limits the high part exceeds 16 bits before it is held.
    const int64_t split = (int64_t{v} + 16384) >> 15;
    int32_t h = static_cast<int32_t>(split);
    int32_t l = static_cast<int32_t>(int64_t{v} - split * 32768);
    if (h > 32767) {
        h = 32767;
        l = 16383;
    } else if (h < -32767) {
        h = -32767;
        l = -16384;
    }
    high[slot] = high[slot + 16] = static_cast<int16_t>(h);
    low[slot] = low[slot + 16] = static_cast<int16_t>(l);
}

// One output sample's sum over its 16 taps, in units of 2^-15 of a tap times a history unit:
// w x (high x 2^15 + low) + fine x high, where fine is the remainder of the tap w x 2^15. The
// products go through the 16 x 16 multiply-add (pmaddwd): a pair of w x high stays below 2^31 as
// high is held to +-32767, and a pair of w x low, and one of fine x high, within 2^30 (low and
// fine lie within +-16384), so that those two still add up in 32 bits before everything is
// widened to 64.
inline int64_t windowSum(const int16_t* w, const int16_t* fine, const int16_t* high,
                         const int16_t* low) noexcept {
#if defined(__SSE2__)
    const auto load = [](const int16_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    };
    // The four 32-bit lanes of v widened and added to two 64-bit lanes.
    const auto widen = [](__m128i v) {
        const __m128i sign = _mm_srai_epi32(v, 31);
        return _mm_add_epi64(_mm_unpacklo_epi32(v, sign), _mm_unpackhi_epi32(v, sign));
    };
    const __m128i w0 = load(w), w1 = load(w + 8);
    const __m128i h0 = load(high), h1 = load(high + 8);
    const __m128i coarse =
        _mm_add_epi64(widen(_mm_madd_epi16(w0, h0)), widen(_mm_madd_epi16(w1, h1)));
    const __m128i small0 =
        _mm_add_epi32(_mm_madd_epi16(w0, load(low)), _mm_madd_epi16(load(fine), h0));
    const __m128i small1 =
        _mm_add_epi32(_mm_madd_epi16(w1, load(low + 8)), _mm_madd_epi16(load(fine + 8), h1));
    __m128i sum =
        _mm_add_epi64(_mm_slli_epi64(coarse, 15), _mm_add_epi64(widen(small0), widen(small1)));
    sum = _mm_add_epi64(sum, _mm_unpackhi_epi64(sum, sum));
    return _mm_cvtsi128_si64(sum);
#else
    int64_t coarse = 0, small = 0;
    for (int n = 0; n < 16; ++n) {
        coarse += int32_t{w[n]} * high[n];
        small += int32_t{w[n]} * low[n] + int32_t{fine[n]} * high[n];
    }
    return coarse * 32768 + small;
#endif
}

}  // namespace

SubbandSynthesizer::SubbandSynthesizer(int channel, const DecoderSettings& settings)
    : channel_(channel),
      settings_(settings),
      rounding_(WindowKernels::best(false)),
      truncating_(WindowKernels::best(true)),
      dct_(bestDct32()) {}

void SubbandSynthesizer::synthesizeFloat(WaveOutput& output) {
    alignas(32) float x[32];
    dct_(input.data(), x);
    // Column phase of both banks: the first half of the 64 matrixed values in the bank in use,
    // the second half in the other.
    float* cur = floatHistory_.data() + bank_ * kFloatBank + 32 * phase_;
    float* other = floatHistory_.data() + (bank_ ^ 1) * kFloatBank + 32 * phase_;
    splitMatrixed(x, cur, other);

    const int channels = output.channels();
    int32_t& pos = output.writePos(channel_);
    int32_t* acc = output.accumulator() + pos;
    const float* window = settings_.window().floatsByTap.data();
    const float* history = floatHistory_.data() + bank_ * kFloatBank;
    (settings_.useK63D() ? truncating_ : rounding_)(history, phase_, window, acc, channels);
    pos += 32 * channels;
    bank_ ^= 1;
    phase_ = (phase_ + 1) & 15;
}

void SubbandSynthesizer::synthesizeInt(WaveOutput& output) {
    // The DCT runs on the input's scale (2^19 per unit), so that its own rounding stays well
    // below one output step. Each matrixed value is kept as two 16-bit
    // planes, value = high x 2^15 + low with low in -16384..16383: the multiply-add then works on
    // 16-bit values as the path intends, yet keeps the DCT's precision and a headroom of +-2048
    // units, so over-driven material saturates in the final conversion like the float path
    // instead of in the history.
    alignas(32) int32_t in[32];
    alignas(32) int32_t x[32];
    alignas(32) int32_t first[32];
    alignas(32) int32_t second[32];
    for (int k = 0; k < 32; ++k) {
        // Held to +-64 units: far beyond any level a stream can reach once the hybrid filterbank
        // has limited its output, and the DCT works in 64 bits.
        in[k] = std::clamp<int32_t>(inputInt[static_cast<size_t>(k)], -(1 << 25), 1 << 25);
    }
    dct32Fixed(in, x);
    splitMatrixed(x, first, second);

    const int column = phase_;
    const size_t curBank = static_cast<size_t>(bank_) * kBank;
    const size_t otherBank = static_cast<size_t>(bank_ ^ 1) * kBank;
    for (int i = 0; i < 32; ++i) {
        const size_t slot = static_cast<size_t>(i * kRow + column);
        storeSplit(first[i], intHigh_, intLow_, curBank + slot);
        storeSplit(second[i], intHigh_, intLow_, otherBank + slot);
    }

    const int channels = output.channels();
    int32_t& pos = output.writePos(channel_);
    int32_t* acc = output.accumulator() + pos;
    // Copy phase mod 4 of the window pairs tap (k - n) mod 16 with position n; the history is
    // then read from column 4 x (phase div 4) on, contiguous thanks to the doubled rows.
    const SynthesisWindow& taps = settings_.window();
    const int16_t* window = taps.mmx.data() + (phase_ & 3) * 512;
    const int16_t* fine = taps.mmxFine.data() + (phase_ & 3) * 512;
    const int base = phase_ & ~3;
    const int16_t* high = intHigh_.data() + curBank;
    const int16_t* low = intLow_.data() + curBank;
    for (int i = 0; i < 32; ++i) {
        // The taps' remainders go against the high plane: without them the taps hold D to
        // 2^-14 at the nominal volume, an error that grows with the matrixed values and reached
        // 24 steps on over-driven noise. Remainder times low is left out: at most 1/32 step a
        // tap, and of either sign.
        const int64_t sum = windowSum(window + 16 * i, fine + 16 * i, high + i * kRow + base,
                                      low + i * kRow + base);
        // Window (volume x D / 2) times history (2^19 per unit) shifted by 18 gives the float
        // path's level; rounded to nearest like the float path. Held to 32 bits (never reached
        // with the window's 16-bit taps, but the narrowing must not wrap).
        const int64_t s = (sum + (int64_t{1} << 17)) >> 18;
        acc[i * channels] = static_cast<int32_t>(std::clamp<int64_t>(s, INT32_MIN, INT32_MAX));
    }
    pos += 32 * channels;
    bank_ ^= 1;
    phase_ = (phase_ + 1) & 15;
}

void SubbandSynthesizer::reset() noexcept {
    input.fill(0);
    inputInt.fill(0);
    floatHistory_.fill(0);
    intHigh_.fill(0);
    intLow_.fill(0);
    bank_ = 0;
    phase_ = 15;
}

void buildSynthesisWindow(int32_t volume, bool mmx, SynthesisWindow& out) {
    for (int i = 0; i < 32; ++i) {
        for (int j = 0; j < 16; ++j) {
            const float w = static_cast<float>(volume) * synthesisWindowD(i + 32 * j);
            out.floats[static_cast<size_t>(16 * i + j)] = w;
            out.floatsByTap[static_cast<size_t>(32 * j + i)] = w;
        }
    }
    if (!mmx) return;
    std::array<int16_t, 512> t{};
    std::array<int16_t, 512> remainder{};
    for (int i = 0; i < 32; ++i) {
        for (int j = 0; j < 16; ++j) {
            const double v = static_cast<double>(volume) *
                             kSynthesisWindowD[static_cast<size_t>(i + 32 * j)] / 65536.0 * 0.5;
            const double rounded = std::nearbyint(v);
            const size_t at = static_cast<size_t>(16 * i + j);
            // Volumes above 57,237 would overflow the 16-bit taps; hold them at the limit, with no
            // remainder.
            if (rounded > 32767.0 || rounded < -32768.0) {
                t[at] = static_cast<int16_t>(std::clamp(rounded, -32768.0, 32767.0));
                remainder[at] = 0;
            } else {
                t[at] = static_cast<int16_t>(rounded);
                remainder[at] = static_cast<int16_t>(std::nearbyint((v - rounded) * 32768.0));
            }
        }
    }
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < 32; ++i) {
            for (int n = 0; n < 16; ++n) {
                const size_t from = static_cast<size_t>(16 * i + ((k - n) & 15));
                const size_t to = static_cast<size_t>(k * 512 + 16 * i + n);
                out.mmx[to] = t[from];
                out.mmxFine[to] = remainder[from];
            }
        }
    }
    out.mmxBuilt = true;
}

}  // namespace ombrix::mp3
