#pragma once

#include <array>

#include "layer12/Layer2Channel.h"
#include "layer12/SubbandDecoder.h"

namespace ombrix::mp3 {

/// A Layer II subband coded separately for the left and right channel.
/// Thread affinity: the playback thread.
class Layer2StereoSubband final : public SubbandDecoder {
public:
    void readAllocation(PayloadBits& bits, const FrameLayout& layout, Crc16* crc) override;
    void readScfsi(PayloadBits& bits, Crc16* crc) override;
    void readScaleFactors(PayloadBits& bits) override;
    bool readSamples(PayloadBits& bits) override;
    bool output(int routing, float* input0, float* input1) override;

private:
    std::array<Layer2Channel, 2> channels_;
    std::array<std::array<float, 3>, 2> values_{};
    int position_ = 0;
};

}  // namespace ombrix::mp3
