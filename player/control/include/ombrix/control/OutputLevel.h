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
    /// The pan's range: full left mutes the right side, full right the left one.
    static constexpr int kFullLeft = -128;
    static constexpr int kFullRight = 128;
    /// Pan held to the range and rounded to the nearest multiple of 32, so that both ends are
    /// reached and a fader just off the middle is centred.
    static int roundedPan(int pan) noexcept;
    /// Left and right on 0..65535: both volume x 512, the side away from the pan scaled by
    /// (128 - |pan|) / 128.
    static std::pair<int, int> channels(int volume, int pan) noexcept;
    /// The volume 0..127 a mixer level of @p left, @p right stands for (the louder side).
    static int volumeFromMixer(int left, int right) noexcept;
    /// Sets @p mixer to channels(volume, pan) with the pan rounded; a line that is not stereo
    /// gets no pan.
    static void apply(AudioMixer& mixer, int volume, int pan);
    /// The player's own stream level of one side (16.16, 0x10000 = as decoded) for a mixer
    /// level 0..65535 of channels(): cubed, the scale sound servers use for their volumes, so
    /// that equal fader steps sound like equal steps.
    static int streamLevel(int channelLevel) noexcept;
};

}  // namespace ombrix
