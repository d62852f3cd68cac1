#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrix::mp3 {

/// Reads the bits of one frame's payload, most significant first. Reads past the end give zero
/// bits, so a damaged or short frame can never make the decoder read outside the payload.
///
/// Thread affinity: the thread that owns the payload (the playback thread).
class PayloadBits {
public:
    /// `data` holds `size` bytes; reading starts `bitPosition` bits into it.
    PayloadBits(const uint8_t* data, size_t size, uint32_t bitPosition = 0) noexcept
        : data_(data), size_(size), pos_(bitPosition) {}

    /// The next `n` bits (0..24).
    uint32_t get(int n) noexcept {
        if (n <= 0) return 0;
        const size_t byte = pos_ >> 3;
        uint32_t word;
        if (byte + 4 <= size_) {
            word = (uint32_t{data_[byte]} << 24) | (uint32_t{data_[byte + 1]} << 16) |
                   (uint32_t{data_[byte + 2]} << 8) | uint32_t{data_[byte + 3]};
        } else {
            word = 0;
            for (size_t i = 0; i < 4; ++i) {
                word = (word << 8) | (byte + i < size_ ? uint32_t{data_[byte + i]} : 0u);
            }
        }
        word <<= (pos_ & 7);
        pos_ += static_cast<uint32_t>(n);
        return word >> (32 - n);
    }

    uint32_t position() const noexcept { return pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    uint32_t pos_;
};

}  // namespace ombrix::mp3
