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
    /// The next 32 bits, the first in the most significant position, without consuming them.
    uint32_t peek32() const noexcept { return static_cast<uint32_t>(window64(bitsRead_) >> 32); }
    /// The bits from position `bit` on, the first in the most significant position; the first 57
    /// are the ring's (the rest are zero).
    uint64_t window64(int64_t bit) const noexcept {
        const uint8_t* p = ring_.data() + ((bit >> 3) & (kSize - 1));
        const uint64_t word = (uint64_t{p[0]} << 56) | (uint64_t{p[1]} << 48) |
                              (uint64_t{p[2]} << 40) | (uint64_t{p[3]} << 32) |
                              (uint64_t{p[4]} << 24) | (uint64_t{p[5]} << 16) |
                              (uint64_t{p[6]} << 8) | uint64_t{p[7]};
        return word << (bit & 7);
    }
    void skipBits(int n) noexcept { bitsRead_ += n; }

    int64_t bitsRead() const noexcept { return bitsRead_; }
    void setBitsRead(int64_t bits) noexcept { bitsRead_ = bits; }
    int64_t bytesWritten() const noexcept { return bytesWritten_; }
    /// Bits that can be read from the current position.
    int64_t available() const noexcept { return bytesWritten_ * 8 - bitsRead_; }

private:
    // The first kTail bytes are repeated after the end, so that peek32 reads across the wrap
    // without a second lookup.
    static constexpr size_t kTail = 8;
    std::array<uint8_t, kSize + kTail> ring_{};
    int64_t bytesWritten_ = 0;
    int64_t bitsRead_ = 0;
};

}  // namespace ombrix::mp3
