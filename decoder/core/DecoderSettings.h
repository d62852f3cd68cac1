#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace ombrix::mp3 {

/// The volume-scaled synthesis window: the float form used by the float and 3DNow! paths and the
/// 16-bit form of the MMX path (four rotated copies of 32 rows x 16 taps, each tap as a rounded
/// 16-bit value and its remainder in units of 2^-15).
struct SynthesisWindow {
    std::array<float, 512> floats{};
    /// The float window by tap, floatsByTap[32 j + i] = floats[16 i + j], for vector windowing.
    alignas(32) std::array<float, 512> floatsByTap{};
    std::array<int16_t, 4 * 512> mmx{};
    /// What rounding each tap of `mmx` to an integer left, x 2^15 (within +-16384).
    std::array<int16_t, 4 * 512> mmxFine{};
    bool mmxBuilt = false;
};

/// Settings and results shared by the playback and whoever controls it. The exported interface
/// keeps one process-wide instance; tools and tests may create their own so that several
/// playbacks can run at once.
///
/// Thread affinity: any thread. Control threads write, the playback thread reads once per frame,
/// granule or synthesis step; every shared field is atomic, and the window is published through an
/// atomic pointer into a small set of windows so that a synthesis step never sees a half-built
/// window and never waits. The reading thread marks the window it holds, and a volume change
/// never rebuilds the marked one, however many changes come during one stalled step.
class DecoderSettings {
public:
    DecoderSettings();
    DecoderSettings(const DecoderSettings&) = delete;
    DecoderSettings& operator=(const DecoderSettings&) = delete;

    // Output.
    std::atomic<int32_t> waveDevice{-1};
    std::atomic<int32_t> bufferFrames{12};
    /// What a device with a latency target may hold, in milliseconds.
    std::atomic<int32_t> latencyMs{500};

    // Layer III equaliser: per-subband linear gains, read once per granule.
    std::atomic<int32_t> eqEnabled{0};
    std::array<std::atomic<float>, 32> eqGains{};

    // Processor paths. Changing one clears windowTablesReady.
    void enableMmx(bool on) noexcept;
    void enableK63D(bool on) noexcept;
    void enableSimd(bool on) noexcept;
    bool useMmx() const noexcept { return useMmx_.load(std::memory_order_relaxed); }
    bool useK63D() const noexcept { return useK63D_.load(std::memory_order_relaxed); }
    bool useSimd() const noexcept { return useSimd_.load(std::memory_order_relaxed); }
    /// True while the running Layer III decoder's hybrid-filterbank windows match the processor
    /// flags; cleared by a flag change, set again by the decoder when it rebuilds them at the
    /// next frame.
    mutable std::atomic<bool> windowTablesReady{false};

    /// Rebuilds the synthesis window for `volume` (32768 = nominal level); the MMX form only while
    /// the MMX path is on, otherwise the previous MMX form is kept.
    void setVolume(int32_t volume);
    /// The window in force. It stays unchanged until the same thread calls window() again, so
    /// only one thread (the playback thread) may read windows through a settings object.
    const SynthesisWindow& window() const noexcept;

    // Position results written by the playback thread.
    std::atomic<int32_t> lastRecordedFrame{0};
    std::atomic<int32_t> currentTimeMs{0};
    std::atomic<float> whereFraction{0.0f};
    std::atomic<int32_t> totalFrames{0};
    std::atomic<float> msPerFrameNow{0.0f};
    std::atomic<int32_t> samplesPerFrameNow{1152};
    /// What is heard: the frame the audio handed over since then starts at, and the frames of
    /// PCM handed to the device since then (the device's unheard frames are still to come).
    std::atomic<int32_t> segmentStart{0};
    std::atomic<int64_t> handedOverFrames{0};
    /// The gain given to the song that opens next (OmbrixPlay, OmbrixQueueNext).
    std::atomic<float> nextSongGain{1.0f};
    /// The song of the playback that is heard: 0 the one it started with, one more for each
    /// queued song that followed it on the same stream. Kept after the playback ends, until
    /// the next one starts.
    std::atomic<int32_t> songNumber{0};

private:
    std::atomic<bool> useMmx_{false};
    std::atomic<bool> useK63D_{false};
    std::atomic<bool> useSimd_{false};

    // Three windows: the published one, the one the reader may still hold, and one to build.
    static constexpr size_t kWindowSlots = 3;
    std::array<SynthesisWindow, kWindowSlots> windows_{};
    std::atomic<const SynthesisWindow*> window_;
    mutable std::atomic<const SynthesisWindow*> held_{nullptr};  // the reader's window
    std::mutex volumeMutex_;  // serialises writers only; the playback thread never takes it
};

}  // namespace ombrix::mp3
