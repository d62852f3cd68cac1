#include "layer12/Layer2MonoSubband.h"

#include "layer12/FrameLayout.h"

namespace ombrix::mp3 {

void Layer2MonoSubband::readAllocation(PayloadBits& bits, const FrameLayout& layout, Crc16* crc) {
    channel_.readAllocation(bits, *layout.table, sb_, crc);
}

void Layer2MonoSubband::readScfsi(PayloadBits& bits, Crc16* crc) {
    channel_.readScfsi(bits, crc);
}

void Layer2MonoSubband::readScaleFactors(PayloadBits& bits) {
    channel_.readScaleFactors(bits);
}

bool Layer2MonoSubband::readSamples(PayloadBits& bits) {
    channel_.readGroup(bits, values_);
    const float scale = channel_.scale(group_ >> 2);
    for (float& v : values_) v *= scale;
    position_ = 0;
    return ++group_ >= kGroups;
}

bool Layer2MonoSubband::output(int routing, float* input0, float* input1) {
    const float v = values_[static_cast<size_t>(position_)];
    input0[sb_] = v;
    if (routing == 0) input1[sb_] = v;
    return ++position_ >= 3;
}

}  // namespace ombrix::mp3
