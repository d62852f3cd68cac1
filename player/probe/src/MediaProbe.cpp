#include "ombrix/probe/MediaProbe.h"

#include <array>
#include <cstring>

#include "ombrix/probe/BufferByteSource.h"
#include "ombrix/probe/FileByteSource.h"
#include "ombrix/probe/RiffWalker.h"

namespace ombrix::probe {
namespace {

bool readExact(const ByteSource& src, std::uint64_t at, void* out, std::size_t n) noexcept {
    return src.readAt(at, out, n) == n;
}

bool bytesAre(const ByteSource& src, std::uint64_t at, std::string_view text) noexcept {
    std::array<char, 8> buf{};
    if (text.size() > buf.size() || !readExact(src, at, buf.data(), text.size())) return false;
    return std::memcmp(buf.data(), text.data(), text.size()) == 0;
}

// A tag size is four 7-bit bytes; a set top bit means this is not an ID3v2 header.
constexpr std::size_t kId3HeaderSize = 10;
// A stack of more tags than this is not a real file; stop rather than walk forever.
constexpr int kMaxId3Tags = 16;

}  // namespace

bool isRiff(const ByteSource& src) noexcept {
    return bytesAre(src, 0, "RIFF");
}

bool isRiffWave(const ByteSource& src) noexcept {
    return bytesAre(src, 0, "RIFF") && bytesAre(src, 8, "WAVE");
}

bool isMpegWave(const ByteSource& src) noexcept {
    std::uint8_t tag[2];
    if (!readExact(src, 20, tag, 2)) return false;
    return (tag[0] | tag[1] << 8) == 0x55;
}

bool has128ByteHeader(const ByteSource& src, std::uint64_t at) noexcept {
    std::uint8_t b0 = 1, b63 = 1, b128 = 0;
    return readExact(src, at, &b0, 1) && readExact(src, at + 63, &b63, 1) &&
           readExact(src, at + 128, &b128, 1) && b0 == 0 && b63 == 0 && b128 == 0xFF;
}

std::optional<Chunk> findChunk(const ByteSource& src, std::string_view id) noexcept {
    if (id.size() != 4) return std::nullopt;
    RiffWalker walker(src);
    const auto c = walker.find(id);
    if (!c) return std::nullopt;
    return Chunk{c->data(), c->size};
}

std::uint64_t id3v2Size(const ByteSource& src, std::uint64_t at) noexcept {
    std::uint64_t total = 0;
    for (int i = 0; i < kMaxId3Tags; ++i) {
        std::uint8_t h[kId3HeaderSize];
        if (!readExact(src, at + total, h, sizeof h)) break;
        if (h[0] != 'I' || h[1] != 'D' || h[2] != '3') break;
        if (h[3] == 0xFF || h[4] == 0xFF) break;
        if ((h[6] | h[7] | h[8] | h[9]) & 0x80) break;
        const std::uint64_t body = std::uint64_t(h[6]) << 21 | std::uint64_t(h[7]) << 14 |
                                   std::uint64_t(h[8]) << 7 | std::uint64_t(h[9]);
        const bool footer = h[3] >= 4 && (h[5] & 0x10);
        total += kId3HeaderSize + body + (footer ? kId3HeaderSize : 0);
    }
    return total;
}

std::int64_t startOffset(const ByteSource& src) noexcept {
    if (!src.valid()) return -1;
    if (isRiff(src)) {
        const auto data = findChunk(src, "data");
        return data ? static_cast<std::int64_t>(data->dataOffset) : -1;
    }
    std::uint64_t afterTag = id3v2Size(src, 0);
    // A tag that claims more bytes than the file holds is damaged; decode from the start.
    if (afterTag >= src.size()) afterTag = 0;
    if (has128ByteHeader(src, afterTag)) return static_cast<std::int64_t>(afterTag + 128);
    return static_cast<std::int64_t>(afterTag);
}

std::int64_t startOffset(const std::filesystem::path& path) noexcept {
    const FileByteSource src(path);
    return startOffset(src);
}

std::int64_t startOffset(std::span<const std::uint8_t> bytes) noexcept {
    const BufferByteSource src(bytes);
    return startOffset(src);
}

}  // namespace ombrix::probe
