#include "layer3/ImdctKernels.h"

#include "synthesis/CpuFeatures.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace ombrix::mp3 {

namespace {

constexpr int kStride = ImdctKernels::kStride;

void imdctScalar(const float* in, const float* matrix, float* y) noexcept {
    for (int i = 0; i < kStride; ++i) y[i] = 0.0f;
    for (int k = 0; k < 18; ++k) {
        const float xk = in[k];
        const float* col = matrix + kStride * k;
        for (int i = 0; i < kStride; ++i) y[i] += xk * col[i];
    }
}

#if defined(__SSE2__)
void imdctSse(const float* in, const float* matrix, float* y) noexcept {
    // Nine accumulators held in registers across the 18 input lines.
    __m128 a0 = _mm_setzero_ps(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0,
           a8 = a0;
    for (int k = 0; k < 18; ++k) {
        const __m128 xk = _mm_set1_ps(in[k]);
        const float* col = matrix + kStride * k;
        a0 = _mm_add_ps(a0, _mm_mul_ps(xk, _mm_load_ps(col)));
        a1 = _mm_add_ps(a1, _mm_mul_ps(xk, _mm_load_ps(col + 4)));
        a2 = _mm_add_ps(a2, _mm_mul_ps(xk, _mm_load_ps(col + 8)));
        a3 = _mm_add_ps(a3, _mm_mul_ps(xk, _mm_load_ps(col + 12)));
        a4 = _mm_add_ps(a4, _mm_mul_ps(xk, _mm_load_ps(col + 16)));
        a5 = _mm_add_ps(a5, _mm_mul_ps(xk, _mm_load_ps(col + 20)));
        a6 = _mm_add_ps(a6, _mm_mul_ps(xk, _mm_load_ps(col + 24)));
        a7 = _mm_add_ps(a7, _mm_mul_ps(xk, _mm_load_ps(col + 28)));
        a8 = _mm_add_ps(a8, _mm_mul_ps(xk, _mm_load_ps(col + 32)));
    }
    _mm_storeu_ps(y, a0);
    _mm_storeu_ps(y + 4, a1);
    _mm_storeu_ps(y + 8, a2);
    _mm_storeu_ps(y + 12, a3);
    _mm_storeu_ps(y + 16, a4);
    _mm_storeu_ps(y + 20, a5);
    _mm_storeu_ps(y + 24, a6);
    _mm_storeu_ps(y + 28, a7);
    _mm_storeu_ps(y + 32, a8);
    _mm_storeu_ps(y + 36, _mm_setzero_ps());
}
#endif

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2,fma"))) void imdctAvx2(const float* in, const float* matrix,
                                                   float* y) noexcept {
    __m256 a0 = _mm256_setzero_ps(), a1 = a0, a2 = a0, a3 = a0, a4 = a0;
    for (int k = 0; k < 18; ++k) {
        const __m256 xk = _mm256_broadcast_ss(in + k);
        const float* col = matrix + kStride * k;
        a0 = _mm256_fmadd_ps(xk, _mm256_load_ps(col), a0);
        a1 = _mm256_fmadd_ps(xk, _mm256_load_ps(col + 8), a1);
        a2 = _mm256_fmadd_ps(xk, _mm256_load_ps(col + 16), a2);
        a3 = _mm256_fmadd_ps(xk, _mm256_load_ps(col + 24), a3);
        a4 = _mm256_fmadd_ps(xk, _mm256_load_ps(col + 32), a4);
    }
    _mm256_storeu_ps(y, a0);
    _mm256_storeu_ps(y + 8, a1);
    _mm256_storeu_ps(y + 16, a2);
    _mm256_storeu_ps(y + 24, a3);
    _mm256_storeu_ps(y + 32, a4);
}
#endif

}  // namespace

ImdctKernels::Kernel ImdctKernels::scalar() noexcept {
    return &imdctScalar;
}

ImdctKernels::Kernel ImdctKernels::sse() noexcept {
#if defined(__SSE2__)
    return &imdctSse;
#else
    return nullptr;
#endif
}

ImdctKernels::Kernel ImdctKernels::avx2() noexcept {
#if defined(__x86_64__) || defined(__i386__)
    if (cpuHasAvx2Fma()) return &imdctAvx2;
#endif
    return nullptr;
}

ImdctKernels::Kernel ImdctKernels::best() noexcept {
    if (Kernel k = avx2()) return k;
    if (Kernel k = sse()) return k;
    return scalar();
}

}  // namespace ombrix::mp3
