#include "ombrix/settings/ProcessorFeatures.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace ombrix {

ProcessorFeatures ProcessorFeatures::detect() noexcept {
    ProcessorFeatures f;
#if defined(__i386__) || defined(__x86_64__)
    // __get_cpuid_max performs the flags-register bit 21 test on 32-bit x86 and returns 0 when
    // CPUID is missing; every x86-64 processor has CPUID.
    const unsigned maxBasic = __get_cpuid_max(0, nullptr);
    if (maxBasic == 0) return f;
    f.cpuid = true;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d)) {
        f.mmx = (d >> 23) & 1u;
        f.sse2 = (d >> 26) & 1u;
    }
    if (__get_cpuid_max(0x80000000u, nullptr) >= 0x80000001u &&
        __get_cpuid(0x80000001u, &a, &b, &c, &d))
        f.amd3dnow = (d >> 31) & 1u;
#endif
    return f;
}

}  // namespace ombrix
