#include "VocalCanceller.h"

#include "Limits.h"

namespace mixora {

VocalCanceller::VocalCanceller(int sampleRate) {
    setSampleRate(sampleRate);
}

void VocalCanceller::setSampleRate(int hz) noexcept {
    const int rate = clampSampleRate(hz);
    low1_.setLowPass(kBassCornerHz, rate);
    low2_.setLowPass(kBassCornerHz, rate);
    enable_.setRampLength(rampSamples(rate));
    reset();
}

void VocalCanceller::setEnabled(bool on) noexcept {
    enable_.setTarget(on ? 1.0f : 0.0f);
}

void VocalCanceller::process(float* left, float* right, int n) noexcept {
    for (int i = 0; i < n; ++i) {
        const float mid = (left[i] + right[i]) * 0.5f;
        const float side = (left[i] - right[i]) * 0.5f;
        const float bass = low2_.process(low1_.process(mid));
        const float mix = enable_.next();
        // Crossfade between the original and the karaoke version while switching.
        left[i] += (side + bass - left[i]) * mix;
        right[i] += (bass - side - right[i]) * mix;
    }
}

void VocalCanceller::reset() noexcept {
    low1_.reset();
    low2_.reset();
}

}  // namespace mixora
