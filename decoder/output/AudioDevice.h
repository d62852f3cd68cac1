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

/// The sound output seen by the playback loop: it takes whole blocks of 16-bit PCM and tells
/// when each has been played, in the manner of a wave-out device. Block ids are increasing.
///
/// Thread affinity: open, write, stillPlaying, drain, reset, setPitch and close are called by the
/// playback thread; pause and restart may be called by any thread at any time, also while the
/// device opens or closes (they then do nothing). No method throws.
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
    /// Waits until everything written has been heard, including what sits in the hardware's own
    /// buffer after the queue has drained; returns early once `abandon` is set.
    virtual void drain(const std::atomic<bool>* abandon) = 0;
    /// Drops everything queued; every block written so far counts as played.
    virtual void reset() = 0;
    /// Pause and resume; 0 when done, kNotOpen when the device is not open.
    virtual int32_t pause() = 0;
    virtual int32_t restart() = 0;
    /// Playback rate as 16.16 fixed point (0x10000 = normal speed), held to kMinPitch..kMaxPitch.
    virtual void setPitch(uint32_t pitch) = 0;
    /// Releases the device; blocks not yet played are dropped.
    virtual void close() = 0;
};

/// The real sound device through SDL2: -1 is the default device, N the Nth playback device.
std::unique_ptr<AudioDevice> createSdlAudioDevice(int32_t deviceIndex);

}  // namespace ombrix::mp3
