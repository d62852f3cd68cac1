#pragma once

#include <array>

#include "layer12/Layer1Channel.h"
#include "layer12/SubbandDecoder.h"

namespace ombrix::mp3 {

/// A Layer I subband of a single-channel frame.
/// Thread affinity: the playback thread.
class Layer1MonoSubband final : public SubbandDecoder {
public:
    void readAllocation(PayloadBits& bits, const FrameLayout& layout, Crc16* crc) override;
    void readScaleFactors(PayloadBits& bits) override;
    bool readSamples(PayloadBits& bits) override;
    bool output(int routing, float* input0, float* input1) override;

private:
    Layer1Channel channel_;
    float value_ = 0.0f;
};

}  // namespace ombrix::mp3
