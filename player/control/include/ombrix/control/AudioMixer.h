#pragma once

#include <utility>

namespace ombrix {

/**
 * @brief The system's sound mixer: the output volume of one line of one card.
 *
 * Thread affinity: main thread. Nothing throws; a mixer that fails reports itself as absent.
 */
class AudioMixer {
public:
    AudioMixer() = default;
    virtual ~AudioMixer() = default;
    AudioMixer(const AudioMixer&) = delete;
    AudioMixer& operator=(const AudioMixer&) = delete;

    /// Mixers (cards with a usable volume control).
    virtual int deviceCount() const = 0;
    /// Chooses mixer @p id and its line @p dest1 (@p dest2 - 1 a part of it, -1 the line itself).
    /// False when there is no usable control.
    virtual bool open(int id, int dest1, int dest2) = 0;
    virtual bool isOpen() const = 0;
    /// Channels of the chosen line: 1 or 2; 0 when closed.
    virtual int channels() const = 0;
    /// Left and right volume, 0..65535.
    virtual std::pair<int, int> volume() const = 0;
    /// Sets left and right volume (0..65535, clamped) and unmutes the line.
    virtual void setVolume(int left, int right) = 0;
};

}  // namespace ombrix
