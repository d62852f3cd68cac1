#pragma once

#include <array>

#include "layer12/Layer2Channel.h"
#include "layer12/SubbandDecoder.h"

namespace ombrix::mp3 {

/// A Layer II subband of a single-channel frame.
/// Thread affinity: the playback thread.
class Layer2MonoSubband final : public SubbandDecoder {
public:
    void readAllocation(PayloadBits& bits, const FrameLayout& layout, Crc16* crc) override;
    void readScfsi(PayloadBits& bits, Crc16* crc) override;
    void readScaleFactors(PayloadBits& bits) override;
    bool readSamples(PayloadBits& bits) override;
    bool output(int routing, float* input0, float* input1) override;

private:
    Layer2Channel channel_;
    std::array<float, 3> values_{};
    int position_ = 0;
};

}  // namespace ombrix::mp3
