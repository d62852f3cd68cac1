#pragma once

#include <cstdlib>
#include <cstring>

namespace ombrix::mp3 {

/// Whether the processor runs AVX2 and FMA instructions, asked once. The decoder's wider vector
/// kernels are compiled for those instructions separately and chosen at run time; everything
/// else stays within the baseline instruction set. Setting OMBRIX_NO_AVX2 (to anything but "0")
/// keeps to the baseline kernels, so that they can be checked on any machine.
///
/// Thread affinity: any thread (the answer is computed once, thread-safely).
inline bool cpuHasAvx2Fma() noexcept {
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
    static const bool supported = [] {
        const char* off = std::getenv("OMBRIX_NO_AVX2");
        if (off && *off && std::strcmp(off, "0") != 0) return false;
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    }();
    return supported;
#else
    return false;
#endif
}

}  // namespace ombrix::mp3
