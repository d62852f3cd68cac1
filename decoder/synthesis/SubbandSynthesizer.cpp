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

// Stores v as high x 2^15 + low in both copies of its history slot (column c and c + 16). The
// high part is held to +-32767 so that no pair of multiply-add products reaches 2^31.
inline void storeSplit(int32_t v, std::array<int16_t, 2 * 32 * 32>& high,
                       std::array<int16_t, 2 * 32 * 32>& low, size_t slot) noexcept {
    int32_t h = v >> 15;
    int32_t l = v & 0x7FFF;
    if (h > 32767) {
        h = 32767;
        l = 32767;
    } else if (h < -32767) {
        h = -32767;
        l = 0;
    }
    high[slot] = high[slot + 16] = static_cast<int16_t>(h);
    low[slot] = low[slot + 16] = static_cast<int16_t>(l);
}

// Sum of the 16 products w[n] x h[n]: pairwise multiply-add (pmaddwd), then the eight pair sums
// added in 64 bits. The inputs stay within +-32767 on one side, so no pair sum wraps.
inline int64_t multiplyAdd16(const int16_t* w, const int16_t* h) noexcept {
#if defined(__SSE2__)
    const __m128i m0 = _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w)),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(h)));
    const __m128i m1 = _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 8)),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + 8)));
    const __m128i s0 = _mm_srai_epi32(m0, 31);
    const __m128i s1 = _mm_srai_epi32(m1, 31);
    __m128i sum =
        _mm_add_epi64(_mm_add_epi64(_mm_unpacklo_epi32(m0, s0), _mm_unpackhi_epi32(m0, s0)),
                      _mm_add_epi64(_mm_unpacklo_epi32(m1, s1), _mm_unpackhi_epi32(m1, s1)));
    sum = _mm_add_epi64(sum, _mm_unpackhi_epi64(sum, sum));
    alignas(16) int64_t lanes[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sum);
    return lanes[0];
#else
    int64_t s = 0;
    for (int n = 0; n < 16; ++n) s += static_cast<int32_t>(w[n]) * h[n];
    return s;
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
    // planes, value = high x 2^15 + low with low in 0..32767: the multiply-add then works on
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
    const int16_t* window = settings_.window().mmx.data() + (phase_ & 3) * 512;
    const int base = phase_ & ~3;
    const int16_t* high = intHigh_.data() + curBank;
    const int16_t* low = intLow_.data() + curBank;
    for (int i = 0; i < 32; ++i) {
        const int16_t* w = window + 16 * i;
        const int64_t sumHigh = multiplyAdd16(w, high + i * kRow + base);
        const int64_t sumLow = multiplyAdd16(w, low + i * kRow + base);
        // Window (volume x D / 2) times history (2^19 per unit) shifted by 18 gives the float
        // path's level; rounded to nearest like the float path. Held to 32 bits (never reached
        // with the window's 16-bit taps, but the narrowing must not wrap).
        const int64_t s = (sumHigh * 32768 + sumLow + (int64_t{1} << 17)) >> 18;
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
    for (int i = 0; i < 32; ++i) {
        for (int j = 0; j < 16; ++j) {
            const double v = static_cast<double>(volume) *
                             kSynthesisWindowD[static_cast<size_t>(i + 32 * j)] / 65536.0 * 0.5;
            // Volumes above 57,237 would overflow the 16-bit taps; hold them at the limit.
            t[static_cast<size_t>(16 * i + j)] =
                static_cast<int16_t>(std::clamp(std::nearbyint(v), -32768.0, 32767.0));
        }
    }
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < 32; ++i) {
            for (int n = 0; n < 16; ++n) {
                out.mmx[static_cast<size_t>(k * 512 + 16 * i + n)] =
                    t[static_cast<size_t>(16 * i + ((k - n) & 15))];
            }
        }
    }
    out.mmxBuilt = true;
}

}  // namespace ombrix::mp3
