#include "Delay.h"

#include <algorithm>

#include "Limits.h"

namespace mixora {

namespace {
constexpr int kCrossfadeMs = 20;
}

Delay::Delay(int sampleRate)
    : rate_(clampSampleRate(sampleRate)),
      line_(static_cast<size_t>(kMaxTimeMs) * kCapacityRate / 1000 + 2),
      targetTap_(rate_ / 5),
      currentTap_(targetTap_),
      nextTap_(targetTap_) {
    setSampleRate(rate_);
}

void Delay::setSampleRate(int hz) noexcept {
    const int ms = static_cast<int>(static_cast<long long>(targetTap_) * 1000 / rate_);
    rate_ = clampSampleRate(hz);
    const int ramp = rampSamples(rate_);
    level_.setRampLength(ramp);
    feedback_.setRampLength(ramp);
    gainLeft_.setRampLength(ramp);
    gainRight_.setRampLength(ramp);
    enable_.setRampLength(ramp);
    fadeLength_ = std::max(1, kCrossfadeMs * rate_ / 1000);
    reset();
    setTimeMs(ms);
    currentTap_ = nextTap_ = targetTap_;
    fadePos_ = 0;
}

void Delay::setTimeMs(int32_t ms) noexcept {
    const long long samples =
        static_cast<long long>(std::clamp<int32_t>(ms, 1, kMaxTimeMs)) * rate_ / 1000;
    targetTap_ = static_cast<int>(std::clamp<long long>(samples, 1, maxDelaySamples()));
}

void Delay::setLevelQ15(int32_t level) noexcept {
    level_.setTarget(q15(level));
}

void Delay::setPan(int32_t pan) noexcept {
    const PanGains g = balance(pan);
    gainLeft_.setTarget(g.left);
    gainRight_.setTarget(g.right);
}

void Delay::setFeedbackQ15(int32_t feed) noexcept {
    feedback_.setTarget(q15(feed));
}

void Delay::setEnabled(bool on) noexcept {
    enable_.setTarget(on ? 1.0f : 0.0f);
}

float Delay::tap(int delaySamples) const noexcept {
    int i = writeIndex_ - delaySamples;
    if (i < 0) i += static_cast<int>(line_.size());
    return line_[i];
}

void Delay::process(float* left, float* right, int n) noexcept {
    const int size = static_cast<int>(line_.size());
    for (int i = 0; i < n; ++i) {
        if (fadePos_ == 0 && targetTap_ != currentTap_) {
            nextTap_ = targetTap_;
            fadePos_ = 1;
        }
        float echo;
        if (fadePos_ > 0) {
            const float f = static_cast<float>(fadePos_) / static_cast<float>(fadeLength_);
            echo = tap(currentTap_) * (1.0f - f) + tap(nextTap_) * f;
            if (++fadePos_ > fadeLength_) {
                currentTap_ = nextTap_;
                fadePos_ = 0;
            }
        } else {
            echo = tap(currentTap_);
        }
        line_[writeIndex_] = (left[i] + right[i]) * 0.5f + echo * feedback_.next();
        if (++writeIndex_ >= size) writeIndex_ = 0;

        const float gain = level_.next() * enable_.next();
        left[i] += echo * gain * gainLeft_.next();
        right[i] += echo * gain * gainRight_.next();
    }
    written_ = std::min(line_.size(), written_ + static_cast<size_t>(n));
}

void Delay::reset() noexcept {
    // The line is written from index 0 after each reset, so only its first written_ samples can
    // hold anything: clearing just those keeps a short use of a long line cheap.
    std::fill(line_.begin(), line_.begin() + written_, 0.0f);
    written_ = 0;
    writeIndex_ = 0;
}

}  // namespace mixora
