#pragma once

namespace ombrix {

/**
 * @brief Processor features the decoder's and the effects engine's fast paths depend on.
 *        Checked once at start-up; on processors other than x86 nothing is available.
 *
 * Thread affinity: a value type.
 */
struct ProcessorFeatures {
    bool cpuid = false;     ///< the CPUID instruction exists
    bool mmx = false;       ///< CPUID function 1, EDX bit 23
    bool amd3dnow = false;  ///< CPUID function 0x80000001, EDX bit 31
    bool sse2 = false;      ///< CPUID function 1, EDX bit 26

    /// Whether the decoder's 16-bit path is the faster one here, which makes it the first-run
    /// default. With SSE2 the float path's vector kernels outrun it (2.5 times less CPU time on
    /// a 128 kbit/s MP3), and they are the more accurate path, so it is only chosen on
    /// processors with MMX alone.
    bool mmxPathFastest() const noexcept { return mmx && !sse2; }

    /// The features of the processor running this program.
    static ProcessorFeatures detect() noexcept;
};

}  // namespace ombrix
