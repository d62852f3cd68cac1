#pragma once

namespace ombrix::mp3 {

/// The IMDCT of one subband as a matrix product: y[i] = sum over the 18 input lines k
/// of in[k] x matrix[40 k + i] for i = 0..35 (the matrix carries the cosines and the block type's
/// window; columns 36..39 pad each line to whole vectors and are written to y as well). The forms
/// differ only in the order of their additions (and, for AVX2, in fused multiply-adds).
///
/// Thread affinity: any thread (pure functions).
struct ImdctKernels {
    static constexpr int kStride = 40;  ///< floats per input line of the matrix, 32-byte aligned
    using Kernel = void (*)(const float* in, const float* matrix, float* y) noexcept;

    /// Plain C++.
    static Kernel scalar() noexcept;
    /// SSE2; null where the build has no SSE2.
    static Kernel sse() noexcept;
    /// AVX2 with FMA; null where the processor or the build lacks them.
    static Kernel avx2() noexcept;
    /// The fastest form this processor runs (never null).
    static Kernel best() noexcept;
};

}  // namespace ombrix::mp3
