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
        : data_(data), size_(size), next_(bitPosition >> 3) {
        refill();
        const int skip = static_cast<int>(bitPosition & 7);
        cache_ <<= skip;
        cached_ -= skip;
    }

    /// The next `n` bits (0..32).
    uint32_t get(int n) noexcept {
        if (n <= 0) return 0;
        if (cached_ < n) refill();
        const auto value = static_cast<uint32_t>(cache_ >> (64 - n));
        cache_ <<= n;
        cached_ -= n;
        return value;
    }

    /// Bits consumed since the start of the payload.
    uint64_t position() const noexcept {
        return uint64_t{next_} * 8 - static_cast<uint64_t>(cached_);
    }

private:
    // Tops the cache up to at least 57 bits; bytes past the end of the payload read as zero.
    void refill() noexcept {
        if (next_ + 8 <= size_) {
            uint64_t word = 0;
            for (size_t i = 0; i < 8; ++i) word = (word << 8) | data_[next_ + i];
            cache_ |= word >> cached_;
            const int bytes = (63 - cached_) >> 3;
            next_ += static_cast<size_t>(bytes);
            cached_ += bytes * 8;
            return;
        }
        while (cached_ <= 56) {
            const uint64_t byte = next_ < size_ ? data_[next_] : 0;
            ++next_;
            cache_ |= byte << (56 - cached_);
            cached_ += 8;
        }
    }

    const uint8_t* data_;
    size_t size_;
    size_t next_;         // next byte to enter the cache
    uint64_t cache_ = 0;  // unread bits, left-aligned
    int cached_ = 0;      // number of valid bits in cache_
};

}  // namespace ombrix::mp3
