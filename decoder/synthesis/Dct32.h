#pragma once

#include <cstdint>

namespace ombrix::mp3 {

/// The 32-point DCT-II X[m] = sum_k x[k] cos(m (2k + 1) pi / 64) behind the matrixing of the
/// synthesis filterbank, by Lee's factorisation (butterflies with the factors 1/(2 cos(...)) of
/// the sizes 32, 16, 8, 4 and 2). The 64 matrixed values V[i] follow from X by symmetry:
/// V[i] = X[i + 16] for i < 16, V[16] = 0, V[i] = -X[48 - i] for 16 < i < 48 and
/// V[i] = -X[i - 48] for i >= 48.
///
/// Thread affinity: stateless; the factor tables are constants built before main.
void dct32(const float* in, float* out) noexcept;

/// A form of dct32: in (32 floats) to out (32 floats, 32-byte aligned).
using Dct32Kernel = void (*)(const float* in, float* out) noexcept;

/// The same transform as two 16 x 16 products (even outputs from the sums x[k] + x[31 - k], odd
/// ones from the differences) with AVX2 and FMA; null where the processor or the build lacks
/// them. It differs from dct32 only by rounding.
Dct32Kernel dct32Avx2() noexcept;

/// The fastest form of dct32 this processor runs (never null).
Dct32Kernel bestDct32() noexcept;

/// The same transform in fixed point: the factors carry 24 fractional bits (2^24/(2 cos(...))
/// truncated) and every product is rounded and shifted right by 24; with 11 bits the 16-bit path
/// drifted several steps from the float path on loud passages. Intermediates are 64-bit and the
/// outputs saturate at the 32-bit limits. Inputs and outputs share one scale.
void dct32Fixed(const int32_t* in, int32_t* out) noexcept;

}  // namespace ombrix::mp3
