#pragma once

#include "Biquad.h"
#include "SmoothedValue.h"

namespace mixora {

/// Karaoke: removes what both channels share (the centre, where a lead voice sits) and keeps the
/// low bass of the centre, so the rhythm section survives. Left = side + bass, right = -side +
/// bass, with side = (L - R) / 2 and bass a fourth-order low-pass (150 Hz) of the mid signal. No
/// input raises the level: a hard-panned source keeps half its level.
///
/// Thread affinity: one thread (the audio thread).
class VocalCanceller {
public:
    static constexpr double kBassCornerHz = 150.0;

    explicit VocalCanceller(int sampleRate = 44100);

    void setSampleRate(int hz) noexcept;
    void setEnabled(bool on) noexcept;
    bool isActive() const noexcept { return !enable_.isSilent(); }

    void process(float* left, float* right, int n) noexcept;
    void reset() noexcept;

private:
    Biquad low1_;
    Biquad low2_;
    SmoothedValue enable_;
};

}  // namespace mixora
