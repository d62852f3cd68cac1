#pragma once

#include <array>

#include "layer12/Layer1Channel.h"
#include "layer12/SubbandDecoder.h"

namespace ombrix::mp3 {

/// A Layer I subband coded separately for the left and right channel.
/// Thread affinity: the playback thread.
class Layer1StereoSubband final : public SubbandDecoder {
public:
    void readAllocation(PayloadBits& bits, const FrameLayout& layout, Crc16* crc) override;
    void readScaleFactors(PayloadBits& bits) override;
    bool readSamples(PayloadBits& bits) override;
    bool output(int routing, float* input0, float* input1) override;

private:
    std::array<Layer1Channel, 2> channels_;
    std::array<float, 2> values_{};
};

}  // namespace ombrix::mp3
