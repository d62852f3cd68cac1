#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "ombrix/probe/ByteSource.h"

namespace ombrix::probe {

/// One chunk header met by RiffWalker.
struct RiffChunk {
    std::array<char, 4> id{};
    std::uint32_t size = 0;    ///< the size field as stored (may run past the end)
    std::uint64_t header = 0;  ///< offset of the chunk's id

    bool is(std::string_view name) const noexcept {
        return name.size() == 4 && std::string_view(id.data(), 4) == name;
    }
    std::uint64_t data() const noexcept { return header + 8; }
    /// End of the data rounded up to even (the pad byte after an odd size).
    std::uint64_t paddedEnd() const noexcept { return data() + size + (size & 1u); }
};

/**
 * @brief Walks RIFF chunks one at a time (odd sizes padded to even), holding only the current
 *        header: memory stays constant whatever the file holds, and the walk ends after
 *        kMaxChunks headers, so a file of millions of empty chunks costs little time too.
 *
 * Thread affinity: one thread at a time; the source must outlive the walker.
 */
class RiffWalker {
public:
    /// No real RIFF file has anywhere near this many chunks at one level.
    static constexpr int kMaxChunks = 4096;

    /// Walks from @p start (12 for the top level) to @p end (clipped to the source's size).
    explicit RiffWalker(const ByteSource& src, std::uint64_t start = 12,
                        std::uint64_t end = UINT64_MAX) noexcept;

    /// The next chunk whose 8-byte header lies inside the range; nullopt at the end, on a read
    /// error or after kMaxChunks chunks. Never throws.
    std::optional<RiffChunk> next() noexcept;
    /// The first chunk named @p id from here on.
    std::optional<RiffChunk> find(std::string_view id) noexcept;
    /// True when the walk was ended by kMaxChunks rather than by the end of the range.
    bool capped() const noexcept { return count_ >= kMaxChunks; }

private:
    const ByteSource& src_;
    std::uint64_t pos_;
    std::uint64_t end_;
    int count_ = 0;
};

}  // namespace ombrix::probe
