#include "layer3/BitReservoir.h"

#include <algorithm>
#include <cstring>

namespace ombrix::mp3 {

void BitReservoir::append(const uint8_t* data, size_t count) noexcept {
    while (count > 0) {
        const size_t at = static_cast<size_t>(bytesWritten_ & (kSize - 1));
        const size_t n = std::min(count, static_cast<size_t>(kSize) - at);
        std::memcpy(ring_.data() + at, data, n);
        if (at < kTail) std::memcpy(ring_.data() + kSize + at, data, std::min(n, kTail - at));
        bytesWritten_ += static_cast<int64_t>(n);
        data += n;
        count -= n;
    }
}

uint32_t BitReservoir::getBits(int n) noexcept {
    if (n <= 0) return 0;
    const uint32_t v = peek32() >> (32 - n);
    bitsRead_ += n;
    return v;
}

}  // namespace ombrix::mp3
