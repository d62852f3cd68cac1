#pragma once

namespace mixora {

/// Second-order low-pass section (Butterworth Q), transposed direct form II in double precision:
/// a corner at a hundredth of the sample rate loses too much in float.
///
/// Thread affinity: one thread.
class Biquad {
public:
    void setLowPass(double cornerHz, double sampleRate) noexcept;
    float process(float x) noexcept {
        const double y = b0_ * x + z1_;
        z1_ = b1_ * x - a1_ * y + z2_;
        z2_ = b2_ * x - a2_ * y;
        return static_cast<float>(y);
    }
    void reset() noexcept { z1_ = z2_ = 0.0; }

private:
    double b0_ = 1.0, b1_ = 0.0, b2_ = 0.0, a1_ = 0.0, a2_ = 0.0;
    double z1_ = 0.0, z2_ = 0.0;
};

}  // namespace mixora
