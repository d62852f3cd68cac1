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

    /// The features of the processor running this program.
    static ProcessorFeatures detect() noexcept;
};

}  // namespace ombrix
