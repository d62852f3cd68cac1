#include "layer12/Layer2StereoSubband.h"

#include "layer12/FrameLayout.h"

namespace ombrix::mp3 {

void Layer2StereoSubband::readAllocation(PayloadBits& bits, const FrameLayout& layout, Crc16* crc) {
    channels_[0].readAllocation(bits, *layout.table, sb_, crc);
    channels_[1].readAllocation(bits, *layout.table, sb_, crc);
}

void Layer2StereoSubband::readScfsi(PayloadBits& bits, Crc16* crc) {
    channels_[0].readScfsi(bits, crc);
    channels_[1].readScfsi(bits, crc);
}

void Layer2StereoSubband::readScaleFactors(PayloadBits& bits) {
    channels_[0].readScaleFactors(bits);
    channels_[1].readScaleFactors(bits);
}

bool Layer2StereoSubband::readSamples(PayloadBits& bits) {
    const int part = group_ >> 2;
    for (size_t ch = 0; ch < 2; ++ch) {
        channels_[ch].readGroup(bits, values_[ch]);
        const float scale = channels_[ch].scale(part);
        for (float& v : values_[ch]) v *= scale;
    }
    position_ = 0;
    return ++group_ >= kGroups;
}

bool Layer2StereoSubband::output(int routing, float* input0, float* input1) {
    const auto p = static_cast<size_t>(position_);
    input0[sb_] = values_[0][p];
    if (routing == 0) input1[sb_] = values_[1][p];
    return ++position_ >= 3;
}

}  // namespace ombrix::mp3
