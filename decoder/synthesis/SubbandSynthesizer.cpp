#include "synthesis/SubbandSynthesizer.h"

#include <algorithm>
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

inline int16_t saturate16(int32_t v) noexcept {
    return static_cast<int16_t>(std::clamp<int32_t>(v, -32768, 32767));
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
    // The DCT runs on the 32768-scaled input raised by 4 bits, so that its own rounding stays
    // well below one output step; its result is rounded to the 8192-scaled history: 16-bit
    // history values then cover matrixed values up to +-4.0 (well beyond full scale), and the
    // window (volume x D / 2) with the final shift by 12 restores the float path's level.
    alignas(32) int32_t in[32];
    alignas(32) int32_t x[32];
    alignas(32) int32_t first[32];
    alignas(32) int32_t second[32];
    for (int k = 0; k < 32; ++k) {
        // Held to +-2^26 before scaling: the DCT's sums grow 32-fold at most within 32 bits.
        const int32_t v =
            std::clamp<int32_t>(inputInt[static_cast<size_t>(k)], -(1 << 21), 1 << 21);
        in[k] = v * 16;
    }
    dct32Fixed(in, x);
    for (int k = 0; k < 32; ++k) x[k] = (x[k] + 32) >> 6;
    splitMatrixed(x, first, second);

    const int column = phase_;
    int16_t* cur = intHistory_.data() + bank_ * kBank;
    int16_t* other = intHistory_.data() + (bank_ ^ 1) * kBank;
    for (int i = 0; i < 32; ++i) {
        cur[i * kRow + column] = cur[i * kRow + column + 16] = saturate16(first[i]);
        other[i * kRow + column] = other[i * kRow + column + 16] = saturate16(second[i]);
    }

    const int channels = output.channels();
    int32_t& pos = output.writePos(channel_);
    int32_t* acc = output.accumulator() + pos;
    // Copy phase mod 4 of the window pairs tap (k - n) mod 16 with position n; the history is
    // then read from column 4 x (phase div 4) on, contiguous thanks to the doubled rows.
    const int16_t* window = settings_.window().mmx.data() + (phase_ & 3) * 512;
    const int base = phase_ & ~3;
    const int16_t* bank = intHistory_.data() + bank_ * kBank;
    for (int i = 0; i < 32; ++i) {
        const int16_t* h = bank + i * kRow + base;
        const int16_t* w = window + 16 * i;
#if defined(__SSE2__)
        // Pairwise multiply-add (pmaddwd), then the eight pair sums added in 64 bits.
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
        const int64_t s = lanes[0];
#else
        int64_t s = 0;
        for (int n = 0; n < 16; n += 2) {
            // A pair sum wraps in 32 bits as the multiply-add instruction's does.
            const auto a = static_cast<uint32_t>(static_cast<int32_t>(w[n]) * h[n]);
            const auto b = static_cast<uint32_t>(static_cast<int32_t>(w[n + 1]) * h[n + 1]);
            s += static_cast<int32_t>(a + b);
        }
#endif
        acc[i * channels] = static_cast<int32_t>(s >> 12);
    }
    pos += 32 * channels;
    bank_ ^= 1;
    phase_ = (phase_ + 1) & 15;
}

void SubbandSynthesizer::reset() noexcept {
    input.fill(0);
    inputInt.fill(0);
    floatHistory_.fill(0);
    intHistory_.fill(0);
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
                static_cast<int16_t>(std::clamp(std::trunc(v), -32768.0, 32767.0));
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
