#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "output/AudioDevice.h"

namespace ombrix::mp3 {

class DecoderSettings;
class SongSource;

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
    /// The effects or the equaliser changed: what is queued beyond a short margin is decoded
    /// and processed again, so that the change is heard soon whatever the latency.
    std::atomic<bool> refreshRequested{false};
    /// The gain of the song being decoded; changed by the caller for the current song, and by
    /// the playback when a queued song takes over.
    std::atomic<float> songGain{1.0f};
    std::atomic<bool> noOutput{false};
    /// True while a playback runs on this control; requests made outside one have no effect.
    std::atomic<bool> active{false};
    /// The player's own level; unlike the requests it lasts across playbacks.
    StreamLevel level;

    /// Clears every request for a new playback.
    void begin(bool decodeOnly) noexcept;
    void end() noexcept;

    PlaybackControl();
    ~PlaybackControl();
    PlaybackControl(const PlaybackControl&) = delete;
    PlaybackControl& operator=(const PlaybackControl&) = delete;

    /// A stop, a pause and a seek also drop the song queued to follow.
    void requestStop() noexcept;
    /// No playback runs: the request had no effect.
    static constexpr int32_t kNoPlayback = 1;
    /// Pauses or resumes, forwarding to the device at once so that queued audio stops too.
    /// Returns the device's result (0 when done), 0 for a playback without output, or
    /// kNoPlayback.
    int32_t requestPause(bool on);
    void requestSeek(int32_t frame) noexcept;
    void requestRefresh() noexcept;
    /// Held to the device's pitch range (half to double speed).
    void requestPitch(uint32_t value) noexcept;

    /// Sets the level (each side held to 0..kUnity) and hands it to the attached device.
    void setLevel(uint32_t left, uint32_t right) noexcept;

    /// What a song must have to follow the running one on the same stream.
    struct StreamShape {
        int channels = 0;
        int rate = 0;
        int samplesPerFrame = 0;
        bool operator==(const StreamShape&) const = default;
    };
    /// Set by the playback once its stream is open; cleared at its end.
    void setStreamShape(const StreamShape& shape);

    enum class QueueResult { kQueued, kNoPlayback, kOtherShape };
    /// Hands the playback the song to play when the current one ends, on the same stream
    /// (replacing one queued before). Refused while no stream is open, or when the song's
    /// format or frame size differs from the stream's.
    QueueResult queueNext(std::unique_ptr<SongSource> song);
    /// Takes the queued song (playback thread); null when there is none.
    std::unique_ptr<SongSource> takeQueued();
    /// Drops the queued song; true when one was waiting (not yet taken by the playback).
    bool cancelQueued() noexcept;

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
    // The queued song and the running stream's shape; the playback thread takes it only at
    // the end of a song.
    std::mutex queueMutex_;
    std::unique_ptr<SongSource> queued_;
    StreamShape shape_;
};

}  // namespace ombrix::mp3
