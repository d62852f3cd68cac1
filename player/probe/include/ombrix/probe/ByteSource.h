#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrix::probe {

/**
 * @brief Random-access, read-only bytes: a file or a memory buffer.
 *
 * Thread affinity: an instance is used by one thread at a time.
 */
class ByteSource {
public:
    virtual ~ByteSource() = default;

    /// @return true when the bytes can be read at all (the file is open).
    virtual bool valid() const noexcept = 0;
    /// @return the total number of bytes, 0 when not valid.
    virtual std::uint64_t size() const noexcept = 0;
    /**
     * @brief Reads up to @p count bytes at @p offset into @p out.
     * @return the number of bytes read; less than @p count at the end, 0 on error.
     */
    virtual std::size_t readAt(std::uint64_t offset, void* out,
                               std::size_t count) const noexcept = 0;
};

}  // namespace ombrix::probe
