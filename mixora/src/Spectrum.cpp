#include "Spectrum.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace mixora {

namespace {
constexpr int kLog2Size = 11;
static_assert((1 << kLog2Size) == Spectrum::kFftSize);
}  // namespace

Spectrum::Spectrum() : twiddles_(kFftSize / 2), work_(kFftSize) {
    for (int i = 0; i < kFftSize; ++i)
        window_[i] =
            static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / kFftSize));
    for (int i = 0; i < kFftSize / 2; ++i)
        twiddles_[i] = std::polar(1.0f, static_cast<float>(-2.0 * std::numbers::pi * i / kFftSize));
}

void Spectrum::fft() noexcept {
    // In-place iterative radix-2: bit-reversal permutation, then butterflies.
    for (int i = 0, j = 0; i < kFftSize; ++i) {
        if (i < j) std::swap(work_[i], work_[j]);
        int bit = kFftSize >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j |= bit;
    }
    for (int len = 2; len <= kFftSize; len <<= 1) {
        const int half = len / 2;
        const int stride = kFftSize / len;
        for (int start = 0; start < kFftSize; start += len) {
            for (int k = 0; k < half; ++k) {
                const std::complex<float> t = work_[start + k + half] * twiddles_[k * stride];
                work_[start + k + half] = work_[start + k] - t;
                work_[start + k] += t;
            }
        }
    }
}

void Spectrum::analyse(const int16_t* samples, uint8_t* out) {
    for (int i = 0; i < kFftSize; ++i)
        work_[i] = std::complex<float>(static_cast<float>(samples[i]) * window_[i], 0.0f);
    fft();
    // A full-scale sine through a Hann window peaks at 32768 * N / 4.
    const float fullScale = 32768.0f * kFftSize / 4.0f;
    for (int k = 0; k < kFftSize / 2; ++k) magnitude_[k] = std::abs(work_[k]) / fullScale;

    constexpr int kFftBins = kFftSize / 2;
    for (int b = 0; b < kBins; ++b) {
        const int first = b * kFftBins / kBins;
        const int last = std::max(first + 1, (b + 1) * kFftBins / kBins);
        float peak = 0.0f;
        for (int k = first; k < last; ++k) peak = std::max(peak, magnitude_[k]);
        const double db = 20.0 * std::log10(std::max(peak, 1e-9f));
        const double value = (db + kRangeDb) * 255.0 / kRangeDb;
        out[b] = static_cast<uint8_t>(std::clamp(value, 0.0, 255.0));
    }
}

}  // namespace mixora
