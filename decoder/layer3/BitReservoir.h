#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ombrix::mp3 {

/// The Layer III bit reservoir: a 4,096-byte ring that main data is appended to and read from,
/// most significant bit first. Positions are kept as running totals so that nothing wraps; reads
/// never leave the ring, whatever the stream says (callers check `available()` first).
///
/// Thread affinity: the playback thread.
class BitReservoir {
public:
    static constexpr int64_t kSize = 4096;

    void append(const uint8_t* data, size_t count) noexcept;
    uint32_t getBits(int n) noexcept;  ///< n = 0..32
    uint32_t getBit() noexcept {
        const uint8_t byte = ring_[static_cast<size_t>((bitsRead_ >> 3) & (kSize - 1))];
        const uint32_t bit = (byte >> (7 - (bitsRead_ & 7))) & 1u;
        ++bitsRead_;
        return bit;
    }

    int64_t bitsRead() const noexcept { return bitsRead_; }
    void setBitsRead(int64_t bits) noexcept { bitsRead_ = bits; }
    int64_t bytesWritten() const noexcept { return bytesWritten_; }
    /// Bits that can be read from the current position.
    int64_t available() const noexcept { return bytesWritten_ * 8 - bitsRead_; }

private:
    std::array<uint8_t, kSize> ring_{};
    int64_t bytesWritten_ = 0;
    int64_t bitsRead_ = 0;
};

}  // namespace ombrix::mp3
