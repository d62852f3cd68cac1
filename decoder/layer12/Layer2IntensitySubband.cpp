#include "layer12/Layer2IntensitySubband.h"

#include "layer12/FrameLayout.h"

namespace ombrix::mp3 {

void Layer2IntensitySubband::readAllocation(PayloadBits& bits, const FrameLayout& layout,
                                            Crc16* crc) {
    channels_[0].readAllocation(bits, *layout.table, sb_, crc);
    channels_[1].shareAllocation(channels_[0]);
}

void Layer2IntensitySubband::readScfsi(PayloadBits& bits, Crc16* crc) {
    channels_[0].readScfsi(bits, crc);
    channels_[1].readScfsi(bits, crc);
}

void Layer2IntensitySubband::readScaleFactors(PayloadBits& bits) {
    channels_[0].readScaleFactors(bits);
    channels_[1].readScaleFactors(bits);
}

bool Layer2IntensitySubband::readSamples(PayloadBits& bits) {
    channels_[0].readGroup(bits, values_);
    const int part = group_ >> 2;
    scale_ = {channels_[0].scale(part), channels_[1].scale(part)};
    position_ = 0;
    return ++group_ >= kGroups;
}

bool Layer2IntensitySubband::output(int routing, float* input0, float* input1) {
    const float v = values_[static_cast<size_t>(position_)];
    input0[sb_] = v * scale_[0];
    if (routing == 0) input1[sb_] = v * scale_[1];
    return ++position_ >= 3;
}

}  // namespace ombrix::mp3
