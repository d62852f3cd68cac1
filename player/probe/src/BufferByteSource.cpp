#include "ombrix/probe/BufferByteSource.h"

#include <algorithm>
#include <cstring>

namespace ombrix::probe {

std::size_t BufferByteSource::readAt(std::uint64_t offset, void* out,
                                     std::size_t count) const noexcept {
    if (offset >= bytes_.size()) return 0;
    const std::size_t n = std::min<std::uint64_t>(count, bytes_.size() - offset);
    if (n > 0) std::memcpy(out, bytes_.data() + offset, n);
    return n;
}

}  // namespace ombrix::probe
