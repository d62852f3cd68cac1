#pragma once

#include <atomic>
#include <cstdint>

#include "PcmSound.h"
#include "SmoothedValue.h"

namespace mixora {

/// One sample pad: a sound that play starts from its beginning, stop ends (with a short fade),
/// optionally looping, placed by pan and scaled by volume, resampled on the fly to the output
/// rate (linear interpolation) and added to the blocks that pass through.
///
/// Thread affinity: play, stop, setLoop, setPan, setVolume and setSound may be called from any
/// thread; they only store atomics. setOutputRate, mixInto and reset belong to the audio thread.
/// The sound given to setSound must stay alive until the audio thread can no longer be using
/// it (the engine waits for the end of the current block before freeing a replaced sound).
class SamplePad {
public:
    SamplePad();

    // Any thread.
    void play() noexcept { command(true); }
    void stop() noexcept { command(false); }
    void setLoop(bool on) noexcept { loop_.store(on, std::memory_order_relaxed); }
    void setPan(int32_t pan) noexcept { pan_.store(pan, std::memory_order_relaxed); }
    void setVolume(int32_t volume) noexcept { volume_.store(volume, std::memory_order_relaxed); }
    /// Publishes a sound (or null to empty the pad); a pad given a new sound is stopped.
    void setSound(const PcmSound* sound) noexcept {
        sound_.store(sound, std::memory_order_seq_cst);
    }
    bool hasSound() const noexcept { return sound_.load(std::memory_order_acquire) != nullptr; }

    // Audio thread.
    void setOutputRate(int hz) noexcept;
    /// Adds the pad's next n frames to left/right. Cheap when the pad is idle.
    void mixInto(float* left, float* right, int n) noexcept;
    /// Stops the voice at once and forgets pending commands.
    void reset() noexcept;
    bool isPlaying() const noexcept { return playing_; }

private:
    void command(bool play) noexcept;
    void applyCommands() noexcept;

    // Shared: written by any thread, read by the audio thread.
    std::atomic<const PcmSound*> sound_{nullptr};
    /// Command sequence number times two, plus one when the newest command is play.
    std::atomic<uint64_t> commands_{0};
    std::atomic<bool> loop_{false};
    std::atomic<int32_t> pan_{0};
    std::atomic<int32_t> volume_{32767};

    // Audio thread only.
    const PcmSound* voice_ = nullptr;
    uint64_t seenCommands_ = 0;
    int outputRate_ = 44100;
    double position_ = 0.0;
    bool playing_ = false;
    bool stopping_ = false;
    SmoothedValue gainLeft_{1.0f};
    SmoothedValue gainRight_{1.0f};
    SmoothedValue fade_{0.0f};
};

}  // namespace mixora
