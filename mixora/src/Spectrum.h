#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <vector>

namespace mixora {

/// Magnitude spectrum for the display: a Hann-windowed 2048-point FFT of the newest samples,
/// folded into 576 bins that span 0 Hz to half the sampling rate linearly (each bin shows the
/// strongest FFT bin within its range), on a decibel scale: 0 dBFS (a full-scale sine) gives
/// 255, and each step below is 72/255 dB, so -72 dBFS and below give 0.
///
/// Thread affinity: one thread at a time (it keeps work buffers).
class Spectrum {
public:
    static constexpr int kFftSize = 2048;
    static constexpr int kBins = 576;
    static constexpr double kRangeDb = 72.0;

    Spectrum();

    /// Analyses kFftSize samples (oldest first) into kBins bytes.
    void analyse(const int16_t* samples, uint8_t* out);

private:
    void fft() noexcept;

    std::array<float, kFftSize> window_{};
    std::vector<std::complex<float>> twiddles_;
    std::vector<std::complex<float>> work_;
    std::array<float, kFftSize / 2> magnitude_{};
};

}  // namespace mixora
