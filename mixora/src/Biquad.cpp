#include "Biquad.h"

#include <cmath>
#include <numbers>

namespace mixora {

void Biquad::setLowPass(double cornerHz, double sampleRate) noexcept {
    const double w0 = 2.0 * std::numbers::pi * cornerHz / sampleRate;
    // Q = 1/sqrt(2): alpha = sin(w0) / (2 Q).
    const double alpha = std::sin(w0) / std::numbers::sqrt2;
    const double cosw = std::cos(w0);
    const double a0 = 1.0 + alpha;
    b0_ = (1.0 - cosw) / 2.0 / a0;
    b1_ = (1.0 - cosw) / a0;
    b2_ = b0_;
    a1_ = -2.0 * cosw / a0;
    a2_ = (1.0 - alpha) / a0;
}

void Biquad::setPeaking(double centreHz, double q, double gainDb, double sampleRate) noexcept {
    const double w0 = 2.0 * std::numbers::pi * centreHz / sampleRate;
    const double a = std::pow(10.0, gainDb / 40.0);
    const double alpha = std::sin(w0) / (2.0 * q);
    const double cosw = std::cos(w0);
    const double a0 = 1.0 + alpha / a;
    b0_ = (1.0 + alpha * a) / a0;
    b1_ = -2.0 * cosw / a0;
    b2_ = (1.0 - alpha * a) / a0;
    a1_ = b1_;
    a2_ = (1.0 - alpha / a) / a0;
}

}  // namespace mixora
