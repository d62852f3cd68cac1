#pragma once

#include <array>

#include "layer12/Layer1Channel.h"
#include "layer12/SubbandDecoder.h"

namespace ombrix::mp3 {

/// A Layer I joint-stereo subband above the bound: one sample feeds both channels, each with
/// its own scale factor.
/// Thread affinity: the playback thread.
class Layer1IntensitySubband final : public SubbandDecoder {
public:
    void readAllocation(PayloadBits& bits, const FrameLayout& layout, Crc16* crc) override;
    void readScaleFactors(PayloadBits& bits) override;
    bool readSamples(PayloadBits& bits) override;
    bool output(int routing, float* input0, float* input1) override;

private:
    std::array<Layer1Channel, 2> channels_;
    float value_ = 0.0f;
};

}  // namespace ombrix::mp3
