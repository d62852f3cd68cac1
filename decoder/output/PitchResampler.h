#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ombrix::mp3 {

/// Plays blocks at another rate for devices without a pitch control: linear interpolation at
/// pitch / 0x10000, the phase carried over between blocks so that block boundaries do not click.
/// The pitch is expected within half..double speed, so a block grows at most twofold.
///
/// Thread affinity: the playback thread. run() may throw std::bad_alloc.
class PitchResampler {
public:
    void run(const int16_t* in, size_t count, int channels, uint32_t pitch,
             std::vector<int16_t>& out) {
        const size_t ch = static_cast<size_t>(channels);
        const size_t frames = count / ch;
        const double step = pitch / 65536.0;
        out.clear();
        if (frames == 0) return;
        out.reserve((static_cast<size_t>(static_cast<double>(frames) / step) + 2) * ch);
        for (; phase_ < static_cast<double>(frames - 1); phase_ += step) {
            const size_t i = static_cast<size_t>(phase_);
            const double f = phase_ - static_cast<double>(i);
            for (size_t c = 0; c < ch; ++c) {
                const double a = in[i * ch + c];
                const double b = in[(i + 1) * ch + c];
                out.push_back(static_cast<int16_t>(std::lround(a + (b - a) * f)));
            }
        }
        phase_ -= static_cast<double>(frames - 1);
    }

private:
    double phase_ = 0.0;
};

}  // namespace ombrix::mp3
