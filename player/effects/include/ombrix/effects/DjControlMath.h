#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace ombrix {

/**
 * @brief The arithmetic between the DJ control's controls and the values the effects engine
 *        and the decoder receive.
 *
 * Thread affinity: any (pure functions). Nothing throws.
 */
struct DjControlMath {
    static constexpr int kFullScale = 32767;
    static constexpr int kPads = 8;
    static constexpr int kNormalPitch = 1000;

    /// An amount slider's position 0..32767 on a squared curve, so the low end is finer:
    /// 32767 × (position / 32767)², to the nearest integer (16384 gives 8192).
    static int32_t squaredScale(int position) noexcept;
    /// The decoder's 16.16 playback rate of a pitch position (1000 is normal speed):
    /// position × 65536 / 1000, truncated.
    static uint32_t pitchValue(int position) noexcept;
    /// The digit that ends a pad control's name ("btnload3" gives 3, "chkloop0" gives 0);
    /// nullopt when the name does not end in a digit.
    static std::optional<int> padDigit(const QString& controlName);
    /// The pad 0..7 a control stands for: the digit of "chkloop0".."chkloop7" is the pad
    /// itself, every other pad control counts from 1. nullopt when out of range.
    static std::optional<int> padIndex(const QString& controlName);
};

}  // namespace ombrix
