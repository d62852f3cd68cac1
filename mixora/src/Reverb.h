#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "SmoothedValue.h"

namespace mixora {

/// Algorithmic room reverb: a pre-delay, then eight parallel damped feedback combs and four
/// series all-passes per channel (the right channel's lines slightly longer for width). The comb
/// feedback is derived from the decay time, so the tail falls by 60 dB in that time; the input of
/// each comb is normalised by its feedback so the wet loudness does not grow with the decay.
///
/// The wet signal, from the mono sum of the input, is added to the block; the dry signal stays.
///
/// Thread affinity: one thread (the audio thread) for everything. Buffers are allocated in the
/// constructor for the highest sample rate; nothing allocates afterwards.
class Reverb {
public:
    static constexpr int kCombs = 8;
    static constexpr int kAllpasses = 4;
    static constexpr int kMinPreDelayMs = 1;
    static constexpr int kMaxPreDelayMs = 128;
    static constexpr int kMinDecayMs = 200;
    static constexpr int kMaxDecayMs = 30000;

    explicit Reverb(int sampleRate = 44100);

    /// Changes the rate; clears the tail.
    void setSampleRate(int hz);
    /// Pre-delay 1..128 ms (clamped); glides to the new value to avoid a jump in the wet signal.
    void setPreDelayMs(int32_t ms) noexcept;
    /// Wet level in Q15 (0..32767), ramped.
    void setWetQ15(int32_t level) noexcept;
    /// Time for the tail to fall by 60 dB, 200..30000 ms (clamped).
    void setDecayMs(int32_t ms) noexcept;
    /// Fades the wet signal in or out over a few milliseconds.
    void setEnabled(bool on) noexcept;
    /// True while the reverb contributes or is fading out.
    bool isActive() const noexcept { return !enable_.isSilent(); }

    /// Adds the reverberation of n frames to left/right in place.
    void process(float* left, float* right, int n) noexcept;
    /// Empties every line (silent tail).
    void reset() noexcept;

private:
    struct Comb {
        std::vector<float> buffer;
        int length = 1;
        int index = 0;
        float store = 0.0f;
        float feedback = 0.0f;
        float inputGain = 0.0f;
        float process(float in, float damp) noexcept;
    };
    struct Allpass {
        std::vector<float> buffer;
        int length = 1;
        int index = 0;
        float process(float in) noexcept;
    };

    void updateFeedback() noexcept;
    float readPreDelay(float delaySamples) const noexcept;

    int rate_;
    int decayMs_ = 2000;
    std::array<std::array<Comb, kCombs>, 2> combs_;
    std::array<std::array<Allpass, kAllpasses>, 2> allpasses_;
    std::vector<float> preDelay_;
    int preIndex_ = 0;
    SmoothedValue preDelaySamples_;
    SmoothedValue wet_;
    SmoothedValue enable_;
};

}  // namespace mixora
