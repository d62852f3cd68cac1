#include "layer12/Layer1MonoSubband.h"

namespace ombrix::mp3 {

void Layer1MonoSubband::readAllocation(PayloadBits& bits, const FrameLayout&, Crc16* crc) {
    channel_.readAllocation(bits, crc);
}

void Layer1MonoSubband::readScaleFactors(PayloadBits& bits) {
    channel_.readScaleFactor(bits);
}

bool Layer1MonoSubband::readSamples(PayloadBits& bits) {
    value_ = channel_.readSample(bits);
    return ++group_ >= kGroups;
}

bool Layer1MonoSubband::output(int routing, float* input0, float* input1) {
    input0[sb_] = value_;
    if (routing == 0) input1[sb_] = value_;
    return true;
}

}  // namespace ombrix::mp3
