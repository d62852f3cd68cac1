#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ombrix::mp3 {

/// The synthesis window D[i] of the MPEG audio standard in units of 2^-16 (every published
/// coefficient is an exact multiple of 1/65536).
extern const std::array<int32_t, 512> kSynthesisWindowD;

/// D[i] as a float.
inline float synthesisWindowD(int i) noexcept {
    return static_cast<float>(kSynthesisWindowD[static_cast<size_t>(i)]) * (1.0f / 65536.0f);
}

}  // namespace ombrix::mp3
