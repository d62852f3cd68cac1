#pragma once

#include <utility>

namespace ombrix {

class AudioMixer;

/**
 * @brief Turns the player's volume (0..127) and pan into the mixer's left and right levels.
 *
 * Thread affinity: any (pure functions), apply() on the mixer's thread.
 */
struct OutputLevel {
    /// Pan with its low five bits cleared (towards minus infinity: -1 becomes -32).
    static int roundedPan(int pan) noexcept { return pan & ~31; }
    /// Left and right on 0..65535: both volume x 512, the side away from the pan scaled by
    /// (128 - |pan|) / 128.
    static std::pair<int, int> channels(int volume, int pan) noexcept;
    /// The volume 0..127 a mixer level of @p left, @p right stands for (the louder side).
    static int volumeFromMixer(int left, int right) noexcept;
    /// Sets @p mixer to channels(volume, pan) with the pan rounded; a line that is not stereo
    /// gets no pan.
    static void apply(AudioMixer& mixer, int volume, int pan);
};

}  // namespace ombrix
