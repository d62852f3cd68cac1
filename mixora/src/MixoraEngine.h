#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "AudioFence.h"
#include "Delay.h"
#include "LevelMeter.h"
#include "OctaveEqualizer.h"
#include "PcmSound.h"
#include "Reverb.h"
#include "SamplePad.h"
#include "SmoothedValue.h"
#include "Spectrum.h"
#include "Surround.h"
#include "VocalCanceller.h"
#include "WavRecorder.h"

namespace mixora {

/// The whole effects engine behind the C interface: settings, effects, sample pads, the level
/// and spectrum display data and the recorder.
///
/// Lifetime: XMInit may come at every song start, so init() changes nothing: effect settings,
/// loaded pads and a running recording last for the whole process. destroy() (program end)
/// stops the recording, empties the pads and returns every setting to its default; the engine
/// stays usable afterwards.
///
/// Thread affinity: process() runs on the playback thread (one at a time). Every other method
/// may be called from any thread at any time. Settings travel to the audio thread through
/// atomics read at the start of each block, and gains are ramped there. Control calls that
/// replace owned objects (pad sounds, the recorder) serialise on a mutex the audio thread never
/// takes, and free the old object only once the block that might use it has ended.
class MixoraEngine {
public:
    static constexpr int kPads = 8;

    MixoraEngine();
    ~MixoraEngine();
    MixoraEngine(const MixoraEngine&) = delete;
    MixoraEngine& operator=(const MixoraEngine&) = delete;

    // Any thread.
    void init() noexcept {}
    void destroy() noexcept;
    void setSampleRate(int32_t hz) noexcept;
    void enableFx(bool on) noexcept { settings_.fx.store(on); }
    void enableReverb(bool on) noexcept { settings_.reverb.store(on); }
    void enableDelay(bool on) noexcept { settings_.delay.store(on); }
    void setReverbDelay(int32_t ms) noexcept { settings_.reverbDelay.store(ms); }
    void setReverbScale(int32_t q15) noexcept { settings_.reverbScale.store(q15); }
    void setReverbDecay(int32_t ms) noexcept { settings_.reverbDecay.store(ms); }
    void setDelayTime(int32_t ms) noexcept { settings_.delayTime.store(ms); }
    void setDelayScale(int32_t q15) noexcept { settings_.delayScale.store(q15); }
    void setDelayPan(int32_t pan) noexcept { settings_.delayPan.store(pan); }
    void setDelayFeed(int32_t q15) noexcept { settings_.delayFeed.store(q15); }
    void enableSurround(bool on) noexcept { settings_.surround.store(on); }
    void cancelVocal(bool on) noexcept { settings_.karaoke.store(on); }
    /// The octave equaliser works whether or not Enable FX is on: it is the player's
    /// equaliser, not one of the DJ effects.
    void enableOctaveEq(bool on) noexcept { settings_.octaves.store(on); }
    /// Gain of octave band 0..9 in dB, clamped to -12..+12; other bands and values that are
    /// not numbers are ignored.
    void setOctaveGain(int32_t band, float gainDb) noexcept;

    /// Loads a PCM WAV file into pad 0..7; false (pad unchanged) when it cannot be used.
    bool loadSample(int32_t pad, const std::string& path) noexcept;
    void playSample(int32_t pad) noexcept;
    void stopSample(int32_t pad) noexcept;
    void setSampleLoop(int32_t pad, bool on) noexcept;
    void setSamplePan(int32_t pad, int32_t pan) noexcept;
    void setSampleVolume(int32_t pad, int32_t volume) noexcept;

    /// 0 stops feeding the display data (it then reads as zero); any other value starts it.
    void enableVisualization(int32_t updatesPerSecond) noexcept;
    /// Levels (peak x 256), and 2 x 576 bytes of waveform and spectrum where not null.
    void getVisualization(float* left, float* right, uint8_t* waveform, uint8_t* spectrum) noexcept;
    void clearVisualization() noexcept { meter_.clear(); }
    /// Where the display learns how far the output lags the processed audio; null for none.
    void setDisplayDelaySource(int64_t (*source)(void*), void* context) noexcept;

    /// Starts appending the processed blocks to a new WAV file; a running recording is
    /// finished first. False when the file cannot be created.
    bool startRecording(const std::string& path) noexcept;
    void stopRecording() noexcept;

    // Audio thread.
    /// Processes frames of interleaved 16-bit audio with 1 or 2 channels in place.
    void process(int16_t* samples, int frames, int channels) noexcept;

private:
    /// Every setting as the control threads left it; read by the audio thread each block.
    struct Settings {
        std::atomic<int32_t> rate{44100};
        std::atomic<bool> fx{false};
        std::atomic<bool> reverb{false};
        std::atomic<bool> delay{false};
        std::atomic<bool> surround{false};
        std::atomic<bool> karaoke{false};
        std::atomic<int32_t> reverbDelay{Reverb::kMaxPreDelayMs};
        std::atomic<int32_t> reverbScale{16384};
        std::atomic<int32_t> reverbDecay{2000};
        std::atomic<int32_t> delayTime{200};
        std::atomic<int32_t> delayScale{16384};
        std::atomic<int32_t> delayPan{0};
        std::atomic<int32_t> delayFeed{8192};
        std::atomic<bool> octaves{false};
        std::array<std::atomic<float>, OctaveEqualizer::kBands> octaveGains{};
        void restoreDefaults() noexcept;
    };

    // Audio thread.
    void applySettings() noexcept;
    void resetEffects() noexcept;
    void processChunk(int16_t* samples, int frames, int channels) noexcept;
    /// The DJ effects and pads over one chunk, faded in and out with Enable FX.
    void applyEffects(float* left, float* right, int frames) noexcept;

    AudioFence fence_;
    std::mutex controlMutex_;
    Settings settings_;
    /// Bumped by destroy(); the audio thread then drops tails and pad voices.
    std::atomic<uint32_t> resetRequests_{0};
    std::atomic<bool> visualization_{true};
    std::atomic<WavRecorder*> recorder_{nullptr};
    std::array<SamplePad, kPads> pads_;

    // Control side, under controlMutex_.
    std::array<std::unique_ptr<PcmSound>, kPads> sounds_;
    std::unique_ptr<WavRecorder> recording_;

    // Display side: levels and waveform are lock-free; the spectrum's work buffers are guarded.
    LevelMeter meter_;
    std::mutex delayMutex_;  // the source may be replaced while a reader calls it
    int64_t (*delaySource_)(void*) = nullptr;
    void* delayContext_ = nullptr;
    std::mutex spectrumMutex_;
    Spectrum spectrum_;

    // Audio thread only.
    int rate_ = 44100;
    uint32_t seenResets_ = 0;
    SmoothedValue fxMix_;
    OctaveEqualizer octaves_;
    VocalCanceller karaoke_;
    Surround surround_;
    Delay delay_;
    Reverb reverb_;
};

}  // namespace mixora
