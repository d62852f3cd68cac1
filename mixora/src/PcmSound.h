#pragma once

#include <cstdint>
#include <vector>

namespace mixora {

/// A decoded sound: interleaved 16-bit samples, one or two channels, at its own rate.
struct PcmSound {
    int sampleRate = 44100;
    int channels = 1;
    std::vector<int16_t> samples;

    size_t frames() const noexcept {
        return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0;
    }
};

}  // namespace mixora
