#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "output/AudioDevice.h"

namespace ombrix::mp3 {

class DecoderSettings;

/// Requests from control threads to the running playback, read once per frame.
///
/// Thread affinity: any thread. Every request field is atomic; the playback thread never waits
/// on a control thread. `deviceMutex` guards only the device pointer that pause/restart use, and
/// is taken by the playback thread just when it attaches or detaches its device.
class PlaybackControl {
public:
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> paused{false};
    std::atomic<int32_t> seekTarget{0};
    std::atomic<uint32_t> pitch{0x10000};
    std::atomic<bool> seekRequested{false};
    std::atomic<bool> pitchRequested{false};
    std::atomic<bool> noOutput{false};
    /// True while a playback runs on this control; requests made outside one have no effect.
    std::atomic<bool> active{false};
    /// The player's own level; unlike the requests it lasts across playbacks.
    StreamLevel level;

    /// Clears every request for a new playback.
    void begin(bool decodeOnly) noexcept;
    void end() noexcept;

    void requestStop() noexcept;
    /// No playback runs: the request had no effect.
    static constexpr int32_t kNoPlayback = 1;
    /// Pauses or resumes, forwarding to the device at once so that queued audio stops too.
    /// Returns the device's result (0 when done), 0 for a playback without output, or
    /// kNoPlayback.
    int32_t requestPause(bool on);
    void requestSeek(int32_t frame) noexcept;
    /// Held to the device's pitch range (half to double speed).
    void requestPitch(uint32_t value) noexcept;

    /// Sets the level (each side held to 0..kUnity) and hands it to the attached device.
    void setLevel(uint32_t left, uint32_t right) noexcept;

    /// The attached device also takes the current level.
    void attachDevice(AudioDevice* device);
    /// Frames the attached device has been given and not played yet (0 without a device).
    int64_t unheardFrames() noexcept;
    /// The frame being heard now: the segment's first frame plus what of the handed-over audio
    /// has been heard; a seek not yet served reports its target at once.
    int32_t heardFrame(const DecoderSettings& settings) noexcept;

private:
    void wakeDevice() noexcept;

    std::mutex deviceMutex_;
    AudioDevice* device_ = nullptr;
};

}  // namespace ombrix::mp3
