#include "ombrix/probe/RiffWalker.h"

#include <algorithm>
#include <cstring>

namespace ombrix::probe {

RiffWalker::RiffWalker(const ByteSource& src, std::uint64_t start, std::uint64_t end) noexcept
    : src_(src), pos_(start), end_(std::min(end, src.size())) {}

std::optional<RiffChunk> RiffWalker::next() noexcept {
    if (count_ >= kMaxChunks || pos_ > end_ || end_ - pos_ < 8) return std::nullopt;
    std::uint8_t h[8];
    if (src_.readAt(pos_, h, sizeof h) != sizeof h) return std::nullopt;
    RiffChunk c;
    std::memcpy(c.id.data(), h, 4);
    c.size = std::uint32_t(h[4]) | std::uint32_t(h[5]) << 8 | std::uint32_t(h[6]) << 16 |
             std::uint32_t(h[7]) << 24;
    c.header = pos_;
    ++count_;
    // 64-bit arithmetic: a 4 GiB size cannot wrap the position; the walk always moves forward.
    pos_ = c.paddedEnd();
    return c;
}

std::optional<RiffChunk> RiffWalker::find(std::string_view id) noexcept {
    while (const auto c = next())
        if (c->is(id)) return c;
    return std::nullopt;
}

}  // namespace ombrix::probe
