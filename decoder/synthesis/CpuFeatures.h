#pragma once

namespace ombrix::mp3 {

/// Whether the processor runs AVX2 and FMA instructions, asked once. The decoder's wider vector
/// kernels are compiled for those instructions separately and chosen at run time; everything
/// else stays within the baseline instruction set.
///
/// Thread affinity: any thread (the answer is computed once, thread-safely).
inline bool cpuHasAvx2Fma() noexcept {
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
    static const bool supported = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    }();
    return supported;
#else
    return false;
#endif
}

}  // namespace ombrix::mp3
