#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ombrix::mp3 {

/// PCM format of the blocks handed to a device: 16-bit signed, interleaved.
struct PcmFormat {
    int channels = 2;
    int rate = 44100;
    int blockAlign() const noexcept { return channels * 2; }
    int bytesPerSecond() const noexcept { return channels * rate * 2; }
};

/// The level of the player's own stream per channel, 16.16 fixed point: kUnityLevel leaves the
/// samples as they are, 0 silences them. Set from any thread, read by the playback.
struct StreamLevel {
    static constexpr uint32_t kUnity = 0x10000;
    std::atomic<uint32_t> left{kUnity};
    std::atomic<uint32_t> right{kUnity};
};

/// The sound output seen by the playback loop: it takes whole blocks of 16-bit PCM and tells
/// when each has been played, in the manner of a wave-out device. Block ids are increasing.
///
/// A device may manage its latency: it then tells the playback how large a block may be
/// (maxBlockFrames), the playback hands it one block at a time and waits on it, and
/// unheardFrames says how much of what was written has not been heard yet, so that positions and
/// levels can follow what is heard rather than what is decoded.
///
/// Thread affinity: open, write, stillPlaying, waitUntilPlayed, drain, reset, setPitch and close
/// are called by the playback thread; pause, restart, wake and unheardFrames may be called by any
/// thread at any time, also while the device opens or closes (they then do nothing); so may
/// setLevel. No method
/// throws.
class AudioDevice {
public:
    static constexpr int32_t kNotOpen = 2;
    /// The rates the DJ control offers: half to double speed.
    static constexpr uint32_t kMinPitch = 0x8000;
    static constexpr uint32_t kMaxPitch = 0x20000;

    AudioDevice() = default;
    virtual ~AudioDevice() = default;
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    /// Really opens the device for `format`. Returns false when it cannot be opened.
    virtual bool open(const PcmFormat& format) = 0;
    /// Queues `samples` (all channels); the data need not outlive the call.
    virtual void write(uint64_t blockId, const int16_t* samples, size_t count) = 0;
    /// True while the block is queued and not yet played.
    virtual bool stillPlaying(uint64_t blockId) = 0;
    /// Blocks until stillPlaying(blockId) is false or `abandon` is set (or wake() is called).
    /// This form polls every `pollMs`; devices that can be waited on override it.
    virtual void waitUntilPlayed(uint64_t blockId, const std::atomic<bool>* abandon, int pollMs);
    /// Ends a wait in progress at once (a stop or seek request); any thread.
    virtual void wake() noexcept {}
    /// The largest block, in frames of PCM, that keeps the latency target; 0 for no limit. The
    /// playback keeps two blocks queued on a device with a limit, three on one without.
    virtual int maxBlockFrames() const noexcept { return 0; }
    /// Frames written and not yet heard (queued, in the sound server and the hardware).
    virtual int64_t unheardFrames() noexcept { return 0; }
    /// Waits until everything written has been heard, including what sits in the hardware's own
    /// buffer after the queue has drained; returns early once `abandon` is set.
    virtual void drain(const std::atomic<bool>* abandon) = 0;
    /// Drops what was written beyond `marginFrames` past the audio the device has taken for
    /// playing, so that it can be written again (processed anew); the next write follows what
    /// was kept, without a break. Returns the frames dropped, or -1 when the device cannot go
    /// back on what it was given (nothing changes then).
    virtual int64_t dropUnplayed(int64_t marginFrames) {
        static_cast<void>(marginFrames);
        return -1;
    }
    /// Drops everything queued; every block written so far counts as played.
    virtual void reset() = 0;
    /// Pause and resume; 0 when done, kNotOpen when the device is not open.
    virtual int32_t pause() = 0;
    virtual int32_t restart() = 0;
    /// Playback rate as 16.16 fixed point (0x10000 = normal speed), held to kMinPitch..kMaxPitch.
    virtual void setPitch(uint32_t pitch) = 0;
    /// True when the device has a stream volume of its own (a sound server's per-stream
    /// volume); the playback then hands it the samples unscaled.
    virtual bool ownsLevel() const noexcept { return false; }
    /// Sets that stream volume (16.16, see StreamLevel), heard at once; kept for the next open
    /// when the device is closed. Any thread; does nothing on devices without one.
    virtual void setLevel(uint32_t left, uint32_t right) noexcept {
        static_cast<void>(left);
        static_cast<void>(right);
    }
    /// Releases the device; blocks not yet played are dropped.
    virtual void close() = 0;
};

/// The latency target's default: what is queued at most, in milliseconds.
constexpr int32_t kDefaultLatencyMs = 500;
constexpr int32_t kMinLatencyMs = 60;
constexpr int32_t kMaxLatencyMs = 2000;

/// The real sound device through SDL2: -1 is the default device, N the Nth playback device.
/// SDL is asked for pieces of about a quarter of `latencyMs`.
std::unique_ptr<AudioDevice> createSdlAudioDevice(int32_t deviceIndex,
                                                  int32_t latencyMs = kDefaultLatencyMs);

/// A PulseAudio stream (also served by PipeWire) that holds `latencyMs` of audio, pauses by
/// corking and drops by flushing, both at once; null when libpulse cannot be loaded.
std::unique_ptr<AudioDevice> createPulseAudioDevice(int32_t latencyMs = kDefaultLatencyMs);

/// The device to play through: for the default device, the sound server's own stream when one
/// answers (and SDL_AUDIODRIVER does not ask for another SDL driver), else SDL2.
std::unique_ptr<AudioDevice> createSoundDevice(int32_t deviceIndex,
                                               int32_t latencyMs = kDefaultLatencyMs);

}  // namespace ombrix::mp3
