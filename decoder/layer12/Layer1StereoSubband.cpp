#include "layer12/Layer1StereoSubband.h"

namespace ombrix::mp3 {

void Layer1StereoSubband::readAllocation(PayloadBits& bits, const FrameLayout&, Crc16* crc) {
    channels_[0].readAllocation(bits, crc);
    channels_[1].readAllocation(bits, crc);
}

void Layer1StereoSubband::readScaleFactors(PayloadBits& bits) {
    channels_[0].readScaleFactor(bits);
    channels_[1].readScaleFactor(bits);
}

bool Layer1StereoSubband::readSamples(PayloadBits& bits) {
    values_[0] = channels_[0].readSample(bits);
    values_[1] = channels_[1].readSample(bits);
    return ++group_ >= kGroups;
}

bool Layer1StereoSubband::output(int routing, float* input0, float* input1) {
    if (routing == 0) {
        input0[sb_] = values_[0];
        input1[sb_] = values_[1];
    } else {
        input0[sb_] = values_[0];
    }
    return true;
}

}  // namespace ombrix::mp3
