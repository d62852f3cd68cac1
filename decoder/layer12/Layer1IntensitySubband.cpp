#include "layer12/Layer1IntensitySubband.h"

namespace ombrix::mp3 {

void Layer1IntensitySubband::readAllocation(PayloadBits& bits, const FrameLayout&, Crc16* crc) {
    channels_[0].readAllocation(bits, crc);
    channels_[1].shareAllocation(channels_[0]);
}

void Layer1IntensitySubband::readScaleFactors(PayloadBits& bits) {
    channels_[0].readScaleFactor(bits);
    channels_[1].readScaleFactor(bits);
}

bool Layer1IntensitySubband::readSamples(PayloadBits& bits) {
    value_ = channels_[0].readUnscaledSample(bits);
    return ++group_ >= kGroups;
}

bool Layer1IntensitySubband::output(int routing, float* input0, float* input1) {
    input0[sb_] = value_ * channels_[0].scale();
    if (routing == 0) input1[sb_] = value_ * channels_[1].scale();
    return true;
}

}  // namespace ombrix::mp3
