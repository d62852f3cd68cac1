#include "layer3/BitReservoir.h"

namespace ombrix::mp3 {

void BitReservoir::append(const uint8_t* data, size_t count) noexcept {
    for (size_t i = 0; i < count; ++i) {
        ring_[static_cast<size_t>(bytesWritten_ & (kSize - 1))] = data[i];
        ++bytesWritten_;
    }
}

uint32_t BitReservoir::getBits(int n) noexcept {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | getBit();
    return v;
}

}  // namespace ombrix::mp3
