#include "Surround.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Limits.h"

namespace mixora {

namespace {
constexpr int kRearDelayMs = 15;
constexpr double kRearCornerHz = 7000.0;
constexpr float kDirectSide = 1.25f;  // widening of the direct side signal
constexpr float kRearLevel = 0.7f;    // level of the delayed rear signal
}  // namespace

Surround::Surround(int sampleRate)
    : rate_(clampSampleRate(sampleRate)),
      line_(static_cast<size_t>(kRearDelayMs) * kMaxSampleRate / 1000 + 1) {
    setSampleRate(rate_);
}

void Surround::setSampleRate(int hz) noexcept {
    rate_ = clampSampleRate(hz);
    length_ = std::max(1, kRearDelayMs * rate_ / 1000);
    lowPassCoeff_ =
        static_cast<float>(1.0 - std::exp(-2.0 * std::numbers::pi * kRearCornerHz / rate_));
    enable_.setRampLength(rampSamples(rate_));
    reset();
}

void Surround::setEnabled(bool on) noexcept {
    enable_.setTarget(on ? 1.0f : 0.0f);
}

void Surround::process(float* left, float* right, int n) noexcept {
    for (int i = 0; i < n; ++i) {
        const float mid = (left[i] + right[i]) * 0.5f;
        const float side = (left[i] - right[i]) * 0.5f;
        const float rear = line_[index_];
        line_[index_] = side;
        if (++index_ >= length_) index_ = 0;
        lowPass_ += lowPassCoeff_ * (rear - lowPass_);

        const float wide = side * kDirectSide + lowPass_ * kRearLevel;
        const float mix = enable_.next();
        const float newSide = side + (wide - side) * mix;
        left[i] = mid + newSide;
        right[i] = mid - newSide;
    }
}

void Surround::reset() noexcept {
    std::fill(line_.begin(), line_.end(), 0.0f);
    index_ = 0;
    lowPass_ = 0.0f;
}

}  // namespace mixora
