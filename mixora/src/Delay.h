#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ZeroedBuffer.h"

#include "SmoothedValue.h"

namespace mixora {

/// Echo: the mono sum of the input goes into a delay line with feedback; what comes out of the
/// line, scaled by the echo level and placed by the pan, is added to the block. An impulse gives
/// echoes at t, 2t, 3t... with levels scale, scale*feed, scale*feed^2...
///
/// The line holds 32767 ms at 48 kHz; at higher rates the longest time shrinks accordingly.
/// A time change crossfades from the old tap to the new one, so it never clicks.
///
/// Thread affinity: one thread (the audio thread) for everything. The line is allocated in the
/// constructor; nothing allocates afterwards.
class Delay {
public:
    static constexpr int kMaxTimeMs = 32767;
    static constexpr int kCapacityRate = 48000;

    explicit Delay(int sampleRate = 44100);

    /// Changes the rate; empties the line.
    void setSampleRate(int hz) noexcept;
    /// Echo time 1..32767 ms (clamped).
    void setTimeMs(int32_t ms) noexcept;
    /// Echo level, Q15 (0..32767), ramped.
    void setLevelQ15(int32_t level) noexcept;
    /// Echo position -32768 (left) .. 32767 (right), ramped.
    void setPan(int32_t pan) noexcept;
    /// Feedback, Q15 (0..32767), ramped.
    void setFeedbackQ15(int32_t feed) noexcept;
    void setEnabled(bool on) noexcept;
    bool isActive() const noexcept { return !enable_.isSilent(); }

    /// Adds the echoes of n frames to left/right in place.
    void process(float* left, float* right, int n) noexcept;
    /// Empties the part of the line that has been written since the last reset.
    void reset() noexcept;

    /// Longest echo time at the current rate, in samples.
    int maxDelaySamples() const noexcept { return static_cast<int>(line_.size()) - 1; }

private:
    float tap(int delaySamples) const noexcept;

    int rate_;
    ZeroedBuffer line_;
    int writeIndex_ = 0;
    std::size_t written_ = 0;
    int targetTap_;
    int currentTap_;
    int nextTap_;
    int fadeLength_ = 1;
    int fadePos_ = 0;  // 0 = no crossfade running
    SmoothedValue feedback_;
    SmoothedValue level_;
    SmoothedValue gainLeft_{1.0f};
    SmoothedValue gainRight_{1.0f};
    SmoothedValue enable_;
};

}  // namespace mixora
