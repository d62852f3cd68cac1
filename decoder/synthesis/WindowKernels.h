#pragma once

#include <cstdint>

namespace ombrix::mp3 {

/// The windowing of one synthesis step: for each of the 32 output samples i, the 16-tap dot
/// product of window[16 i ..] with history[32 i ..], limited to +-1e9 (NaN becoming 0) and
/// converted to an integer, rounding to nearest or, with `truncate`, towards zero; the result goes
/// to out[i x stride]. The forms differ only in the order of their additions (and, for AVX2, in
/// fused multiply-adds).
///
/// Thread affinity: any thread (pure functions).
struct WindowKernels {
    using Kernel = void (*)(const float* history, const float* window, int32_t* out,
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
