#include "synthesis/Dct32.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

#include "synthesis/CpuFeatures.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace ombrix::mp3 {

namespace {

// Factors 1/(2 cos((2k + 1) pi / (2n))) for n = 32, 16, 8, 4, 2, stored one size after the other
// (16 + 8 + 4 + 2 + 1 = 31 values); offsetOf(n) gives the first of size n.
constexpr int offsetOf(int n) noexcept {
    return n == 32 ? 0 : n == 16 ? 16 : n == 8 ? 24 : n == 4 ? 28 : 30;
}

struct Factors {
    std::array<float, 31> f{};
    std::array<int32_t, 31> q{};
    Factors() {
        const double pi = std::acos(-1.0);
        for (int n = 32; n >= 2; n /= 2) {
            for (int k = 0; k < n / 2; ++k) {
                const double v = 1.0 / (2.0 * std::cos((2 * k + 1) * pi / (2.0 * n)));
                f[static_cast<size_t>(offsetOf(n) + k)] = static_cast<float>(v);
                q[static_cast<size_t>(offsetOf(n) + k)] = static_cast<int32_t>(16777216.0 * v);
            }
        }
    }
};

const Factors kFactors;

// One Lee stage of size N, then the two halves recursively; the result lands in `out`.
// Lee's recombination: the even outputs are the sum half's, each odd output the sum of two
// neighbouring outputs of the difference half (the last one alone).
template <int H, typename T>
inline void interleaveHalves(const T* A, const T* B, T* out) noexcept {
    for (int m = 0; m < H - 1; ++m) {
        out[2 * m] = A[m];
        out[2 * m + 1] = B[m] + B[m + 1];
    }
    out[2 * H - 2] = A[H - 1];
    out[2 * H - 1] = B[H - 1];
}

template <int N>
struct FloatDct {
    static void run(const float* x, float* out) noexcept {
        constexpr int h = N / 2;
        float a[h], b[h], A[h], B[h];
        const float* f = kFactors.f.data() + offsetOf(N);
        for (int k = 0; k < h; ++k) {
            a[k] = x[k] + x[N - 1 - k];
            b[k] = (x[k] - x[N - 1 - k]) * f[k];
        }
        FloatDct<h>::run(a, A);
        FloatDct<h>::run(b, B);
        interleaveHalves<h>(A, B, out);
    }
};

template <>
struct FloatDct<1> {
    static void run(const float* x, float* out) noexcept { out[0] = x[0]; }
};

// Fixed point in 64 bits: Lee's difference path multiplies by factors up to about 10 at each
// size, so intermediate values exceed the inputs' range many times over before the
// recombination cancels them again; 32-bit intermediates wrapped on loud passages.
template <int N>
struct FixedDct {
    static void run(const int64_t* x, int64_t* out) noexcept {
        constexpr int h = N / 2;
        int64_t a[h], b[h], A[h], B[h];
        const int32_t* q = kFactors.q.data() + offsetOf(N);
        for (int k = 0; k < h; ++k) {
            a[k] = x[k] + x[N - 1 - k];
            b[k] = ((x[k] - x[N - 1 - k]) * q[k] + 8388608) >> 24;
        }
        FixedDct<h>::run(a, A);
        FixedDct<h>::run(b, B);
        interleaveHalves<h>(A, B, out);
    }
};

template <>
struct FixedDct<1> {
    static void run(const int64_t* x, int64_t* out) noexcept { out[0] = x[0]; }
};

#if defined(__x86_64__) || defined(__i386__)
// even[k][m] = cos(2m (2k + 1) pi / 64), odd[k][m] = cos((2m + 1)(2k + 1) pi / 64), k, m < 16.
struct Matrices {
    alignas(32) float even[16][16];
    alignas(32) float odd[16][16];
    Matrices() {
        const double pi = std::acos(-1.0);
        for (int k = 0; k < 16; ++k) {
            for (int m = 0; m < 16; ++m) {
                even[k][m] = static_cast<float>(std::cos(2 * m * (2 * k + 1) * pi / 64.0));
                odd[k][m] = static_cast<float>(std::cos((2 * m + 1) * (2 * k + 1) * pi / 64.0));
            }
        }
    }
};

const Matrices kMatrices;

__attribute__((target("avx2,fma"))) void dct32Avx2Kernel(const float* in, float* out) noexcept {
    alignas(32) float sum[16];
    alignas(32) float diff[16];
    const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    const __m256 lo0 = _mm256_loadu_ps(in);
    const __m256 lo1 = _mm256_loadu_ps(in + 8);
    const __m256 hi1 = _mm256_permutevar8x32_ps(_mm256_loadu_ps(in + 16), reverse);  // x[23..16]
    const __m256 hi0 = _mm256_permutevar8x32_ps(_mm256_loadu_ps(in + 24), reverse);  // x[31..24]
    _mm256_store_ps(sum, _mm256_add_ps(lo0, hi0));
    _mm256_store_ps(sum + 8, _mm256_add_ps(lo1, hi1));
    _mm256_store_ps(diff, _mm256_sub_ps(lo0, hi0));
    _mm256_store_ps(diff + 8, _mm256_sub_ps(lo1, hi1));
    // Even and odd k in separate accumulators to halve the chains of dependent fused adds.
    __m256 e[4], o[4];
    for (int i = 0; i < 4; ++i) e[i] = o[i] = _mm256_setzero_ps();
    for (int k = 0; k < 16; k += 2) {
        const __m256 s0 = _mm256_broadcast_ss(sum + k);
        const __m256 s1 = _mm256_broadcast_ss(sum + k + 1);
        const __m256 d0 = _mm256_broadcast_ss(diff + k);
        const __m256 d1 = _mm256_broadcast_ss(diff + k + 1);
        e[0] = _mm256_fmadd_ps(s0, _mm256_load_ps(kMatrices.even[k]), e[0]);
        e[1] = _mm256_fmadd_ps(s0, _mm256_load_ps(kMatrices.even[k] + 8), e[1]);
        e[2] = _mm256_fmadd_ps(s1, _mm256_load_ps(kMatrices.even[k + 1]), e[2]);
        e[3] = _mm256_fmadd_ps(s1, _mm256_load_ps(kMatrices.even[k + 1] + 8), e[3]);
        o[0] = _mm256_fmadd_ps(d0, _mm256_load_ps(kMatrices.odd[k]), o[0]);
        o[1] = _mm256_fmadd_ps(d0, _mm256_load_ps(kMatrices.odd[k] + 8), o[1]);
        o[2] = _mm256_fmadd_ps(d1, _mm256_load_ps(kMatrices.odd[k + 1]), o[2]);
        o[3] = _mm256_fmadd_ps(d1, _mm256_load_ps(kMatrices.odd[k + 1] + 8), o[3]);
    }
    const __m256 even0 = _mm256_add_ps(e[0], e[2]);  // X[0], X[2] .. X[14]
    const __m256 even1 = _mm256_add_ps(e[1], e[3]);  // X[16] .. X[30]
    const __m256 odd0 = _mm256_add_ps(o[0], o[2]);   // X[1] .. X[15]
    const __m256 odd1 = _mm256_add_ps(o[1], o[3]);   // X[17] .. X[31]
    // Interleave even and odd outputs back into natural order.
    const __m256 a = _mm256_unpacklo_ps(even0, odd0);  // X0 X1 X2 X3 | X8 X9 X10 X11
    const __m256 b = _mm256_unpackhi_ps(even0, odd0);  // X4 X5 X6 X7 | X12 .. X15
    const __m256 c = _mm256_unpacklo_ps(even1, odd1);
    const __m256 d = _mm256_unpackhi_ps(even1, odd1);
    _mm256_store_ps(out, _mm256_permute2f128_ps(a, b, 0x20));
    _mm256_store_ps(out + 8, _mm256_permute2f128_ps(a, b, 0x31));
    _mm256_store_ps(out + 16, _mm256_permute2f128_ps(c, d, 0x20));
    _mm256_store_ps(out + 24, _mm256_permute2f128_ps(c, d, 0x31));
}
#endif

}  // namespace

Dct32Kernel dct32Avx2() noexcept {
#if defined(__x86_64__) || defined(__i386__)
    if (cpuHasAvx2Fma()) return &dct32Avx2Kernel;
#endif
    return nullptr;
}

Dct32Kernel bestDct32() noexcept {
    if (Dct32Kernel k = dct32Avx2()) return k;
    return &dct32;
}

void dct32(const float* in, float* out) noexcept {
    FloatDct<32>::run(in, out);
}

void dct32Fixed(const int32_t* in, int32_t* out) noexcept {
    int64_t wide[32];
    int64_t result[32];
    for (int k = 0; k < 32; ++k) wide[k] = in[k];
    FixedDct<32>::run(wide, result);
    for (int k = 0; k < 32; ++k)
        out[k] = static_cast<int32_t>(std::clamp<int64_t>(result[k], INT32_MIN, INT32_MAX));
}

}  // namespace ombrix::mp3
