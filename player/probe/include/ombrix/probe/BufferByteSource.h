#pragma once

#include <cstdint>
#include <span>

#include "ombrix/probe/ByteSource.h"

namespace ombrix::probe {

/**
 * @brief A view of bytes in memory; the caller keeps them alive while the source is used.
 *
 * Thread affinity: any; reading does not change the source.
 */
class BufferByteSource final : public ByteSource {
public:
    explicit BufferByteSource(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}

    bool valid() const noexcept override { return true; }
    std::uint64_t size() const noexcept override { return bytes_.size(); }
    std::size_t readAt(std::uint64_t offset, void* out, std::size_t count) const noexcept override;

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace ombrix::probe
