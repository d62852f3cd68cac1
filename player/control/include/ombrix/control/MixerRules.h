#pragma once

namespace ombrix {

/**
 * @brief How the mixer and drive settings are applied to the devices that exist.
 *
 * Thread affinity: any (pure functions).
 */
struct MixerRules {
    /// The mixer is used only when there is one and usemixer is on.
    static bool useMixer(bool usemixer, int deviceCount) noexcept {
        return deviceCount > 0 && usemixer;
    }
    /// A mixer id outside 0..deviceCount-1 becomes 0.
    static int mixerId(int mixerid, int deviceCount) noexcept {
        return mixerid >= 0 && mixerid < deviceCount ? mixerid : 0;
    }
    /// Balance reaches the mixer only when its first destination line has exactly 2 channels.
    static int balance(int requested, int channels) noexcept {
        return channels == 2 ? requested : 0;
    }
    /// A CD drive index beyond the drives becomes 0.
    static int cdIndex(int cdindex, int driveCount) noexcept {
        return cdindex >= 0 && cdindex < driveCount ? cdindex : 0;
    }
};

}  // namespace ombrix
