#include "synthesis/WindowKernels.h"

#include <cmath>

#include "synthesis/CpuFeatures.h"
#include "synthesis/SynthesisTables.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace ombrix::mp3 {

namespace {

template <bool Truncate>
void windowScalar(const float* history, int phase, const float* window, int32_t* out,
                  int stride) noexcept {
    for (int i = 0; i < 32; ++i) {
        float s = 0.0f;
        for (int j = 0; j < 16; ++j) s += window[32 * j + i] * history[32 * ((phase - j) & 15) + i];
        s = limitForConversion(s);
        out[i * stride] = Truncate ? static_cast<int32_t>(s) : static_cast<int32_t>(std::lrintf(s));
    }
}

#if defined(__SSE2__)
// Four output samples per vector, all 32 at once in eight accumulators: the history and window
// rows are contiguous, so no sums across lanes are needed.
template <bool Truncate>
void windowSse(const float* history, int phase, const float* window, int32_t* out,
               int stride) noexcept {
    __m128 acc[8];
    for (int b = 0; b < 8; ++b) acc[b] = _mm_setzero_ps();
    for (int j = 0; j < 16; ++j) {
        const float* h = history + 32 * ((phase - j) & 15);
        const float* w = window + 32 * j;
        for (int b = 0; b < 8; ++b)
            acc[b] =
                _mm_add_ps(acc[b], _mm_mul_ps(_mm_loadu_ps(w + 4 * b), _mm_load_ps(h + 4 * b)));
    }
    const __m128 lo = _mm_set1_ps(-1.0e9f);
    const __m128 hi = _mm_set1_ps(1.0e9f);
    for (int b = 0; b < 8; ++b) {
        __m128 s = acc[b];
        s = _mm_and_ps(s, _mm_cmpord_ps(s, s));  // NaN becomes 0
        s = _mm_min_ps(_mm_max_ps(s, lo), hi);
        const __m128i v = Truncate ? _mm_cvttps_epi32(s) : _mm_cvtps_epi32(s);
        if (stride == 1) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * b), v);
        } else {
            alignas(16) int32_t tmp[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(tmp), v);
            for (int r = 0; r < 4; ++r) out[(4 * b + r) * stride] = tmp[r];
        }
    }
}
#endif

#if defined(__x86_64__) || defined(__i386__)
// Eight output samples per vector; even and odd taps in separate accumulators to shorten the
// chains of dependent fused multiply-adds.
template <bool Truncate>
__attribute__((target("avx2,fma"))) void windowAvx2(const float* history, int phase,
                                                    const float* window, int32_t* out,
                                                    int stride) noexcept {
    __m256 even[4], odd[4];
    for (int b = 0; b < 4; ++b) even[b] = odd[b] = _mm256_setzero_ps();
    for (int j = 0; j < 16; j += 2) {
        const float* h0 = history + 32 * ((phase - j) & 15);
        const float* h1 = history + 32 * ((phase - j - 1) & 15);
        const float* w0 = window + 32 * j;
        const float* w1 = w0 + 32;
        for (int b = 0; b < 4; ++b) {
            even[b] =
                _mm256_fmadd_ps(_mm256_loadu_ps(w0 + 8 * b), _mm256_load_ps(h0 + 8 * b), even[b]);
            odd[b] =
                _mm256_fmadd_ps(_mm256_loadu_ps(w1 + 8 * b), _mm256_load_ps(h1 + 8 * b), odd[b]);
        }
    }
    const __m256 lo = _mm256_set1_ps(-1.0e9f);
    const __m256 hi = _mm256_set1_ps(1.0e9f);
    for (int b = 0; b < 4; ++b) {
        __m256 s = _mm256_add_ps(even[b], odd[b]);
        s = _mm256_and_ps(s, _mm256_cmp_ps(s, s, _CMP_ORD_Q));  // NaN becomes 0
        s = _mm256_min_ps(_mm256_max_ps(s, lo), hi);
        const __m256i v = Truncate ? _mm256_cvttps_epi32(s) : _mm256_cvtps_epi32(s);
        if (stride == 1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * b), v);
        } else {
            alignas(32) int32_t tmp[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(tmp), v);
            for (int r = 0; r < 8; ++r) out[(8 * b + r) * stride] = tmp[r];
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
