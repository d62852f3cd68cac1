#include "synthesis/WindowKernels.h"

#include <cmath>

#include "synthesis/CpuFeatures.h"
#include "synthesis/SynthesisTables.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace ombrix::mp3 {

namespace {

constexpr int kRow = 32;  // stored slots per history row

template <bool Truncate>
void windowScalar(const float* history, const float* window, int32_t* out, int stride) noexcept {
    for (int i = 0; i < 32; ++i) {
        const float* h = history + i * kRow;
        const float* w = window + 16 * i;
        float s = 0.0f;
        for (int j = 0; j < 16; ++j) s += w[j] * h[j];
        s = limitForConversion(s);
        out[i * stride] = Truncate ? static_cast<int32_t>(s) : static_cast<int32_t>(std::lrintf(s));
    }
}

#if defined(__SSE2__)
// Four output samples at a time: four partial sums per sample, transposed and added.
template <bool Truncate>
void windowSse(const float* history, const float* window, int32_t* out, int stride) noexcept {
    const __m128 lo = _mm_set1_ps(-1.0e9f);
    const __m128 hi = _mm_set1_ps(1.0e9f);
    for (int i = 0; i < 32; i += 4) {
        __m128 rows[4];
        for (int r = 0; r < 4; ++r) {
            const float* h = history + (i + r) * kRow;
            const float* w = window + 16 * (i + r);
            const __m128 a = _mm_mul_ps(_mm_loadu_ps(w), _mm_loadu_ps(h));
            const __m128 b = _mm_mul_ps(_mm_loadu_ps(w + 4), _mm_loadu_ps(h + 4));
            const __m128 c = _mm_mul_ps(_mm_loadu_ps(w + 8), _mm_loadu_ps(h + 8));
            const __m128 d = _mm_mul_ps(_mm_loadu_ps(w + 12), _mm_loadu_ps(h + 12));
            rows[r] = _mm_add_ps(_mm_add_ps(a, b), _mm_add_ps(c, d));
        }
        _MM_TRANSPOSE4_PS(rows[0], rows[1], rows[2], rows[3]);
        __m128 s = _mm_add_ps(_mm_add_ps(rows[0], rows[1]), _mm_add_ps(rows[2], rows[3]));
        s = _mm_and_ps(s, _mm_cmpord_ps(s, s));  // NaN becomes 0
        s = _mm_min_ps(_mm_max_ps(s, lo), hi);
        const __m128i v = Truncate ? _mm_cvttps_epi32(s) : _mm_cvtps_epi32(s);
        if (stride == 1) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), v);
        } else {
            alignas(16) int32_t tmp[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(tmp), v);
            for (int r = 0; r < 4; ++r) out[(i + r) * stride] = tmp[r];
        }
    }
}
#endif

#if defined(__x86_64__) || defined(__i386__)
// Eight output samples at a time: two fused products per sample, then a horizontal-add tree
// that leaves the eight sums in order.
template <bool Truncate>
__attribute__((target("avx2,fma"))) void windowAvx2(const float* history, const float* window,
                                                    int32_t* out, int stride) noexcept {
    const __m256 lo = _mm256_set1_ps(-1.0e9f);
    const __m256 hi = _mm256_set1_ps(1.0e9f);
    for (int i = 0; i < 32; i += 8) {
        __m256 rows[8];
        for (int r = 0; r < 8; ++r) {
            const float* h = history + (i + r) * kRow;
            const float* w = window + 16 * (i + r);
            const __m256 a = _mm256_mul_ps(_mm256_loadu_ps(w), _mm256_loadu_ps(h));
            rows[r] = _mm256_fmadd_ps(_mm256_loadu_ps(w + 8), _mm256_loadu_ps(h + 8), a);
        }
        const __m256 t0 = _mm256_hadd_ps(rows[0], rows[1]);
        const __m256 t1 = _mm256_hadd_ps(rows[2], rows[3]);
        const __m256 t2 = _mm256_hadd_ps(rows[4], rows[5]);
        const __m256 t3 = _mm256_hadd_ps(rows[6], rows[7]);
        const __m256 u0 = _mm256_hadd_ps(t0, t1);  // rows 0..3, low and high halves
        const __m256 u1 = _mm256_hadd_ps(t2, t3);  // rows 4..7
        __m256 s = _mm256_add_ps(_mm256_permute2f128_ps(u0, u1, 0x20),
                                 _mm256_permute2f128_ps(u0, u1, 0x31));
        s = _mm256_and_ps(s, _mm256_cmp_ps(s, s, _CMP_ORD_Q));  // NaN becomes 0
        s = _mm256_min_ps(_mm256_max_ps(s, lo), hi);
        const __m256i v = Truncate ? _mm256_cvttps_epi32(s) : _mm256_cvtps_epi32(s);
        if (stride == 1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), v);
        } else {
            alignas(32) int32_t tmp[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(tmp), v);
            for (int r = 0; r < 8; ++r) out[(i + r) * stride] = tmp[r];
        }
    }
}
#endif

}  // namespace

WindowKernels::Kernel WindowKernels::scalar(bool truncate) noexcept {
    return truncate ? &windowScalar<true> : &windowScalar<false>;
}

WindowKernels::Kernel WindowKernels::sse(bool truncate) noexcept {
#if defined(__SSE2__)
    return truncate ? &windowSse<true> : &windowSse<false>;
#else
    static_cast<void>(truncate);
    return nullptr;
#endif
}

WindowKernels::Kernel WindowKernels::avx2(bool truncate) noexcept {
#if defined(__x86_64__) || defined(__i386__)
    if (cpuHasAvx2Fma()) return truncate ? &windowAvx2<true> : &windowAvx2<false>;
#endif
    static_cast<void>(truncate);
    return nullptr;
}

WindowKernels::Kernel WindowKernels::best(bool truncate) noexcept {
    if (Kernel k = avx2(truncate)) return k;
    if (Kernel k = sse(truncate)) return k;
    return scalar(truncate);
}

}  // namespace ombrix::mp3
