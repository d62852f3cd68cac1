#pragma once

#include <cstdint>

namespace ombrix::mp3 {

/// The windowing of one float synthesis step. `history` is the bank in use: 16 columns of 32
/// matrixed values, column c at history[32 c]; `window` is the volume-scaled window by tap,
/// window[32 j + i] = w[16 i + j]. For each output sample i = 0..31 the kernel sums
/// window[32 j + i] x history[32 ((phase - j) mod 16) + i] over the 16 taps j, limits the sum to
/// +-1e9 (NaN becoming 0), converts it to an integer, rounding to nearest or, with `truncate`,
/// towards zero, and stores it at out[i x stride]. The forms differ only in the order of their
/// additions (and, for AVX2, in fused multiply-adds).
///
/// Thread affinity: any thread (pure functions).
struct WindowKernels {
    using Kernel = void (*)(const float* history, int phase, const float* window, int32_t* out,
                            int stride) noexcept;

    /// Plain C++, taps added in order.
    static Kernel scalar(bool truncate) noexcept;
    /// SSE2; null where the build has no SSE2.
    static Kernel sse(bool truncate) noexcept;
    /// AVX2 with FMA; null where the processor or the build lacks them.
    static Kernel avx2(bool truncate) noexcept;
    /// The fastest form this processor runs (never null).
    static Kernel best(bool truncate) noexcept;
};

}  // namespace ombrix::mp3
