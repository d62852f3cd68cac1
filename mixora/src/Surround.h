#pragma once

#include <vector>

#include "SmoothedValue.h"

namespace mixora {

/// Stereo widening in the manner of a matrix-surround decoder: the difference signal (what a
/// matrix decoder sends to the rear) is delayed, softened by a low-pass and added back to the
/// side component. Only the side component changes, so the mono sum L + R stays exactly what
/// it was (mono compatible) and a mono input passes untouched.
///
/// Thread affinity: one thread (the audio thread). Allocates only in the constructor.
class Surround {
public:
    explicit Surround(int sampleRate = 44100);

    void setSampleRate(int hz) noexcept;
    void setEnabled(bool on) noexcept;
    bool isActive() const noexcept { return !enable_.isSilent(); }

    /// Widens n frames in place.
    void process(float* left, float* right, int n) noexcept;
    void reset() noexcept;

private:
    int rate_;
    std::vector<float> line_;
    int length_ = 1;
    int index_ = 0;
    float lowPass_ = 0.0f;
    float lowPassCoeff_ = 0.5f;
    SmoothedValue enable_;
};

}  // namespace mixora
