#pragma once

#include <cstdint>
#include <vector>

namespace ombrix::test {

/// Builds bit strings most significant bit first, as Layer I and II frames store them.
class Layer12BitWriter {
public:
    void put(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (bits_ % 8 == 0) bytes_.push_back(0);
            if ((value >> i) & 1u) bytes_.back() |= static_cast<uint8_t>(0x80u >> (bits_ % 8));
            ++bits_;
        }
    }
    /// Pads with zero bits up to `size` bytes.
    void padTo(size_t size) {
        while (bytes_.size() < size) bytes_.push_back(0);
        bits_ = bytes_.size() * 8;
    }
    size_t bitCount() const noexcept { return bits_; }
    const std::vector<uint8_t>& bytes() const noexcept { return bytes_; }
    std::vector<uint8_t>& bytes() noexcept { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t bits_ = 0;
};

/// CRC-16 of protected Layer I/II frames (polynomial 0x8005, register starting at 0xFFFF),
/// computed bit by bit over a bit string, independently of the decoder's register.
inline uint16_t referenceCrc(const std::vector<uint8_t>& bytes, size_t firstBit, size_t bitCount,
                             uint16_t crc = 0xFFFF) {
    for (size_t i = firstBit; i < firstBit + bitCount; ++i) {
        const int bit = (bytes[i / 8] >> (7 - i % 8)) & 1;
        const int top = (crc >> 15) & 1;
        crc = static_cast<uint16_t>(crc << 1);
        if (bit != top) crc ^= 0x8005;
    }
    return crc;
}

}  // namespace ombrix::test
