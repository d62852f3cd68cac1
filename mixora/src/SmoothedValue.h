#pragma once

namespace mixora {

/// A value that moves linearly towards its target, one step per sample, so that gain and mix
/// changes never jump within a block (a jump is heard as a click).
///
/// Thread affinity: owned and used by one thread (the audio thread).
class SmoothedValue {
public:
    explicit SmoothedValue(float initial = 0.0f) noexcept : current_(initial), target_(initial) {}

    /// Number of samples a change takes; at least 1.
    void setRampLength(int samples) noexcept { rampLength_ = samples < 1 ? 1 : samples; }

    void setTarget(float target) noexcept {
        if (target == target_) return;
        target_ = target;
        remaining_ = rampLength_;
        step_ = (target_ - current_) / static_cast<float>(rampLength_);
    }

    /// Sets the value at once, without a ramp (for state resets, never for audible changes).
    void jumpTo(float value) noexcept {
        current_ = target_ = value;
        remaining_ = 0;
        step_ = 0.0f;
    }

    /// Advances one sample and returns the new value.
    float next() noexcept {
        if (remaining_ > 0) {
            if (--remaining_ == 0)
                current_ = target_;
            else
                current_ += step_;
        }
        return current_;
    }

    /// Advances @p samples samples at once.
    void skip(int samples) noexcept {
        if (remaining_ <= 0 || samples <= 0) return;
        if (samples >= remaining_) {
            current_ = target_;
            remaining_ = 0;
        } else {
            current_ += step_ * static_cast<float>(samples);
            remaining_ -= samples;
        }
    }

    bool isSmoothing() const noexcept { return remaining_ > 0; }
    /// True when the value rests at zero: an effect whose mix is idle can be skipped.
    bool isSilent() const noexcept { return remaining_ == 0 && current_ == 0.0f; }
    float current() const noexcept { return current_; }
    float target() const noexcept { return target_; }

private:
    float current_;
    float target_;
    float step_ = 0.0f;
    int remaining_ = 0;
    int rampLength_ = 256;
};

/// Ramp length used for every parameter change: 5 ms at the given rate.
inline int rampSamples(int sampleRate) noexcept {
    return sampleRate / 200 > 0 ? sampleRate / 200 : 1;
}

}  // namespace mixora
