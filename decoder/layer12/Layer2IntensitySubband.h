#pragma once

#include <array>

#include "layer12/Layer2Channel.h"
#include "layer12/SubbandDecoder.h"

namespace ombrix::mp3 {

/// A Layer II joint-stereo subband above the bound: one group of samples feeds both channels,
/// each with its own scale-factor selection and scale factors.
/// Thread affinity: the playback thread.
class Layer2IntensitySubband final : public SubbandDecoder {
public:
    void readAllocation(PayloadBits& bits, const FrameLayout& layout, Crc16* crc) override;
    void readScfsi(PayloadBits& bits, Crc16* crc) override;
    void readScaleFactors(PayloadBits& bits) override;
    bool readSamples(PayloadBits& bits) override;
    bool output(int routing, float* input0, float* input1) override;

private:
    std::array<Layer2Channel, 2> channels_;
    std::array<float, 3> values_{};
    std::array<float, 2> scale_{};
    int position_ = 0;
};

}  // namespace ombrix::mp3
