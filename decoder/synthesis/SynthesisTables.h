#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ombrix::mp3 {

/// The synthesis window D[i] of the MPEG audio standard in units of 2^-16 (every published
/// coefficient is an exact multiple of 1/65536).
extern const std::array<int32_t, 512> kSynthesisWindowD;

/// Holds a sample inside +-1e9 before it is converted to an integer; NaN becomes 0. Corrupt input
/// may produce anything, and a float-to-integer conversion out of range is undefined.
inline float limitForConversion(float v) noexcept {
    return v >= -1.0e9f ? (v <= 1.0e9f ? v : 1.0e9f) : (v < 0.0f ? -1.0e9f : 0.0f);
}

/// D[i] as a float.
inline float synthesisWindowD(int i) noexcept {
    return static_cast<float>(kSynthesisWindowD[static_cast<size_t>(i)]) * (1.0f / 65536.0f);
}

}  // namespace ombrix::mp3
