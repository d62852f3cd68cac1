#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace mixora {

/// Keeps the newest processed audio for the display: peak levels of about the last 50 ms,
/// the 576-sample waveform of each channel and the newest samples for the spectrum.
///
/// Thread affinity: push belongs to the audio thread; levels, waveform, recent and clear may be
/// called from any thread at the same time. The history is a ring of atomics (relaxed), so a
/// reader racing the writer may see a mix of two blocks: harmless for a display, and free of
/// locks for the audio thread.
class LevelMeter {
public:
    // Power of two: the display delay (up to the device's latency target, 2 s at 96 kHz at most
    // after clamping below) plus the spectrum's window.
    static constexpr int kHistoryFrames = 1 << 16;
    static constexpr int kWaveformSamples = 576;
    static constexpr int kMaxRecent = 4096;  // the most recent() hands out
    static constexpr int kLevelWindowMs = 50;

    /// Appends n frames of interleaved 16-bit audio with 1 or 2 channels (mono counts for both).
    void push(const int16_t* samples, int frames, int channels) noexcept;
    void setSampleRate(int hz) noexcept { rate_.store(hz, std::memory_order_relaxed); }
    /// Frames pushed but not heard yet: the readers look that far back from the newest audio, so
    /// that the display shows what is heard.
    void setDelay(int64_t frames) noexcept { delay_.store(frames, std::memory_order_relaxed); }

    /// Peak absolute sample of the newest ~50 ms per channel, times 256.
    void levels(float& left, float& right) const noexcept;
    /// 2 x 576 signed 8-bit samples (left block, then right), newest last.
    void waveform(uint8_t* out) const noexcept;
    /// The n (<= kMaxRecent) samples of one channel (0 left, 1 right) that end at what is heard
    /// now, oldest first.
    void recent(int channel, int16_t* out, int n) const noexcept;
    /// Forgets all audio: levels, waveform and spectrum read as zero until new audio arrives.
    void clear() noexcept;

private:
    std::array<std::atomic<int16_t>, kHistoryFrames * 2> ring_{};
    std::atomic<uint64_t> written_{0};
    std::atomic<int64_t> delay_{0};

    // The end of what is heard: written_ less the delay, keeping a spectrum window of history.
    uint64_t heardEnd() const noexcept;
    std::atomic<int> rate_{44100};
};

}  // namespace mixora
