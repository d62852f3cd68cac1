#pragma once

#include <algorithm>
#include <cstdint>

namespace mixora {

/// Sample rates the engine accepts; effect buffers are sized once for the highest.
inline constexpr int kMinSampleRate = 4000;
inline constexpr int kMaxSampleRate = 192000;
inline constexpr int kDefaultSampleRate = 44100;

inline int clampSampleRate(int32_t hz) noexcept {
    return static_cast<int>(std::clamp<int32_t>(hz, kMinSampleRate, kMaxSampleRate));
}

/// Q15 gain (0..32767) as a factor 0..~1.
inline float q15(int32_t v) noexcept {
    return static_cast<float>(std::clamp<int32_t>(v, 0, 32767)) / 32768.0f;
}

/// Balance gains for a pan of -32768 (left) .. 32767 (right): the centre keeps both channels at
/// full level, moving away attenuates the opposite channel linearly.
struct PanGains {
    float left;
    float right;
};
inline PanGains balance(int32_t pan) noexcept {
    const float p = static_cast<float>(std::clamp<int32_t>(pan, -32768, 32767)) / 32768.0f;
    return {p > 0.0f ? 1.0f - p : 1.0f, p < 0.0f ? 1.0f + p : 1.0f};
}

/// Rounds and saturates a float sample to 16 bits.
inline int16_t toInt16(float v) noexcept {
    if (v >= 32767.0f) return 32767;
    if (v <= -32768.0f) return -32768;
    return static_cast<int16_t>(v < 0.0f ? v - 0.5f : v + 0.5f);
}

}  // namespace mixora
