#include "Reverb.h"

#include <algorithm>
#include <cmath>

#include "Limits.h"

namespace mixora {

namespace {
// Line lengths in samples at 44.1 kHz: mutually prime-ish so the combs' echoes do not line up.
constexpr std::array<int, Reverb::kCombs> kCombLengths = {1116, 1188, 1277, 1356,
                                                          1422, 1491, 1557, 1617};
constexpr std::array<int, Reverb::kAllpasses> kAllpassLengths = {556, 441, 341, 225};
constexpr int kStereoSpread = 23;
constexpr float kDamping = 0.2f;
constexpr float kAllpassFeedback = 0.5f;
// Pre-delay glide: long enough that a moved tap is heard as a short pitch bend, not a click.
constexpr int kPreDelayGlideMs = 50;

int scaled(int length44k, int rate) {
    return std::max(1, length44k * rate / 44100);
}
}  // namespace

float Reverb::Comb::process(float in, float damp) noexcept {
    const float out = buffer[index];
    store = out * (1.0f - damp) + store * damp;
    buffer[index] = in * inputGain + store * feedback;
    if (++index >= length) index = 0;
    return out;
}

float Reverb::Allpass::process(float in) noexcept {
    const float delayed = buffer[index];
    buffer[index] = in + delayed * kAllpassFeedback;
    if (++index >= length) index = 0;
    return delayed - in;
}

Reverb::Reverb(int sampleRate) : rate_(clampSampleRate(sampleRate)) {
    for (int ch = 0; ch < 2; ++ch) {
        for (int i = 0; i < kCombs; ++i)
            combs_[ch][i].buffer.resize(scaled(kCombLengths[i] + kStereoSpread, kMaxSampleRate) +
                                        1);
        for (int i = 0; i < kAllpasses; ++i)
            allpasses_[ch][i].buffer.resize(
                scaled(kAllpassLengths[i] + kStereoSpread, kMaxSampleRate) + 1);
    }
    preDelay_.resize(static_cast<size_t>(kMaxPreDelayMs) * kMaxSampleRate / 1000 + 2);
    setSampleRate(rate_);
    preDelaySamples_.jumpTo(static_cast<float>(kMaxPreDelayMs * rate_ / 1000));
}

void Reverb::setSampleRate(int hz) {
    const float preMs = preDelaySamples_.target() * 1000.0f / static_cast<float>(rate_);
    rate_ = clampSampleRate(hz);
    for (int ch = 0; ch < 2; ++ch) {
        const int spread = ch == 0 ? 0 : kStereoSpread;
        for (int i = 0; i < kCombs; ++i)
            combs_[ch][i].length = scaled(kCombLengths[i] + spread, rate_);
        for (int i = 0; i < kAllpasses; ++i)
            allpasses_[ch][i].length = scaled(kAllpassLengths[i] + spread, rate_);
    }
    const int ramp = rampSamples(rate_);
    wet_.setRampLength(ramp);
    enable_.setRampLength(ramp);
    preDelaySamples_.setRampLength(kPreDelayGlideMs * rate_ / 1000);
    preDelaySamples_.jumpTo(std::clamp(preMs * static_cast<float>(rate_) / 1000.0f, 1.0f,
                                       static_cast<float>(preDelay_.size() - 2)));
    updateFeedback();
    reset();
}

void Reverb::setPreDelayMs(int32_t ms) noexcept {
    const int clamped = std::clamp<int32_t>(ms, kMinPreDelayMs, kMaxPreDelayMs);
    const float samples = static_cast<float>(clamped) * static_cast<float>(rate_) / 1000.0f;
    // Glide only while heard; a silent reverb takes the new value at once.
    if (isActive())
        preDelaySamples_.setTarget(samples);
    else
        preDelaySamples_.jumpTo(samples);
}

void Reverb::setWetQ15(int32_t level) noexcept {
    wet_.setTarget(q15(level));
}

void Reverb::setDecayMs(int32_t ms) noexcept {
    const int clamped = std::clamp<int32_t>(ms, kMinDecayMs, kMaxDecayMs);
    if (clamped == decayMs_) return;
    decayMs_ = clamped;
    updateFeedback();
}

void Reverb::setEnabled(bool on) noexcept {
    enable_.setTarget(on ? 1.0f : 0.0f);
}

void Reverb::updateFeedback() noexcept {
    // A loop of L samples with gain g falls by 20*log10(g) dB every L samples: 60 dB in T means
    // g = 10^(-3 L / (T fs)). Normalising the input by sqrt(1 - g^2) keeps each comb's power gain
    // at one, and the eight uncorrelated combs together at one again.
    const double decaySamples = static_cast<double>(decayMs_) * rate_ / 1000.0;
    for (auto& channel : combs_) {
        for (auto& comb : channel) {
            const double g = std::pow(10.0, -3.0 * comb.length / decaySamples);
            comb.feedback = static_cast<float>(g);
            comb.inputGain = static_cast<float>(std::sqrt(1.0 - g * g) / std::sqrt(kCombs));
        }
    }
}

float Reverb::readPreDelay(float delaySamples) const noexcept {
    const int size = static_cast<int>(preDelay_.size());
    const int whole = static_cast<int>(delaySamples);
    const float frac = delaySamples - static_cast<float>(whole);
    int a = preIndex_ - whole;
    if (a < 0) a += size;
    int b = a - 1;
    if (b < 0) b += size;
    return preDelay_[a] + (preDelay_[b] - preDelay_[a]) * frac;
}

void Reverb::process(float* left, float* right, int n) noexcept {
    const int size = static_cast<int>(preDelay_.size());
    for (int i = 0; i < n; ++i) {
        preDelay_[preIndex_] = (left[i] + right[i]) * 0.5f;
        const float in = readPreDelay(preDelaySamples_.next());
        if (++preIndex_ >= size) preIndex_ = 0;

        float outL = 0.0f;
        float outR = 0.0f;
        for (int c = 0; c < kCombs; ++c) {
            outL += combs_[0][c].process(in, kDamping);
            outR += combs_[1][c].process(in, kDamping);
        }
        for (int a = 0; a < kAllpasses; ++a) {
            outL = allpasses_[0][a].process(outL);
            outR = allpasses_[1][a].process(outR);
        }
        const float gain = wet_.next() * enable_.next();
        left[i] += outL * gain;
        right[i] += outR * gain;
    }
}

void Reverb::reset() noexcept {
    for (auto& channel : combs_) {
        for (auto& comb : channel) {
            std::fill(comb.buffer.begin(), comb.buffer.end(), 0.0f);
            comb.store = 0.0f;
            comb.index = 0;
        }
    }
    for (auto& channel : allpasses_) {
        for (auto& ap : channel) {
            std::fill(ap.buffer.begin(), ap.buffer.end(), 0.0f);
            ap.index = 0;
        }
    }
    std::fill(preDelay_.begin(), preDelay_.end(), 0.0f);
    preIndex_ = 0;
}

}  // namespace mixora
