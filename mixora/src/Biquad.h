#pragma once

namespace mixora {

/// Second-order section in transposed direct form II, in double precision: a corner at a
/// hundredth of the sample rate loses too much in float. Coefficients follow R. Bristow-Johnson's
/// "Audio EQ Cookbook".
///
/// Thread affinity: one thread.
class Biquad {
public:
    /// Low-pass with Butterworth Q.
    void setLowPass(double cornerHz, double sampleRate) noexcept;
    /// Peaking filter: @p gainDb at @p centreHz, falling back to 0 dB on both sides; @p q sets
    /// the width (1.41 spans one octave between the half-gain points). At 0 dB the section
    /// passes its input unchanged. The state is kept, so the gain may move while it runs.
    void setPeaking(double centreHz, double q, double gainDb, double sampleRate) noexcept;
    float process(float x) noexcept {
        const double y = b0_ * x + z1_;
        z1_ = b1_ * x - a1_ * y + z2_;
        z2_ = b2_ * x - a2_ * y;
        return static_cast<float>(y);
    }
    void reset() noexcept { z1_ = z2_ = 0.0; }
    /// The squared magnitude of the response at the angular frequency w, given cos(w) and
    /// cos(2w).
    double powerGainAt(double cosW, double cos2W) const noexcept {
        const double num = b0_ * b0_ + b1_ * b1_ + b2_ * b2_ + 2.0 * (b0_ * b1_ + b1_ * b2_) * cosW +
                           2.0 * b0_ * b2_ * cos2W;
        const double den = 1.0 + a1_ * a1_ + a2_ * a2_ + 2.0 * (a1_ + a1_ * a2_) * cosW +
                           2.0 * a2_ * cos2W;
        return den > 0.0 ? num / den : 1.0;
    }

private:
    double b0_ = 1.0, b1_ = 0.0, b2_ = 0.0, a1_ = 0.0, a2_ = 0.0;
    double z1_ = 0.0, z2_ = 0.0;
};

}  // namespace mixora
