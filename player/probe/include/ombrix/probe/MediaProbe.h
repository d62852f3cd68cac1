#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

#include "ombrix/probe/ByteSource.h"

/**
 * @file
 * @brief Probes that find where the MPEG audio of a file begins.
 *
 * All functions are pure reads over a ByteSource (or a path / byte buffer, which they wrap),
 * never throw, and are safe on truncated or hostile input: every read is bounds-checked and
 * every chunk walk moves strictly forward.
 */
namespace ombrix::probe {

/// A chunk found by findChunk().
struct Chunk {
    std::uint64_t dataOffset = 0;  ///< offset of the chunk's data (its header + 8)
    std::uint32_t size = 0;        ///< the size field as stored (may exceed the file for "data")
};

/// Bytes 0..3 read "RIFF".
bool isRiff(const ByteSource& src) noexcept;
/// Bytes 0..3 and 8..11 read "RIFFWAVE".
bool isRiffWave(const ByteSource& src) noexcept;
/// The 16-bit little-endian value at offset 20 (format tag of a leading "fmt " chunk) is 0x55.
bool isMpegWave(const ByteSource& src) noexcept;
/// Byte @p at is 0, byte @p at+63 is 0 and byte @p at+128 is 0xFF.
bool has128ByteHeader(const ByteSource& src, std::uint64_t at = 0) noexcept;

/**
 * @brief Walks the RIFF chunks from offset 12 (odd sizes padded to even) looking for @p id.
 * @param id four characters, e.g. "data" or "LIST".
 * @return the chunk, or nullopt when the walk reaches the end of the bytes (or
 *         RiffWalker::kMaxChunks chunks) first. A chunk whose header is complete is returned even
 *         when its data runs past the end.
 */
std::optional<Chunk> findChunk(const ByteSource& src, std::string_view id) noexcept;

/**
 * @brief Size in bytes of the ID3v2 tag(s) starting at @p at (10-byte header + body + optional
 *        footer), repeated while another tag follows directly; 0 when there is none.
 */
std::uint64_t id3v2Size(const ByteSource& src, std::uint64_t at = 0) noexcept;

/**
 * @brief Offset of the first MPEG audio byte.
 *
 * RIFF files: the data offset of the "data" chunk (-1 when there is none). Other files: leading
 * ID3v2 tags are skipped, then a 128-byte header (has128ByteHeader) is skipped; otherwise 0.
 * @return the offset, or -1 on failure (no "data" chunk in a RIFF file, unreadable file).
 */
std::int64_t startOffset(const ByteSource& src) noexcept;
/// startOffset() over a file; -1 when the file cannot be opened.
std::int64_t startOffset(const std::filesystem::path& path) noexcept;
/// startOffset() over bytes in memory.
std::int64_t startOffset(std::span<const std::uint8_t> bytes) noexcept;

}  // namespace ombrix::probe
