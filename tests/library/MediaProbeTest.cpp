#include "ombrix/probe/MediaProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ombrix/probe/BufferByteSource.h"
#include "ombrix/probe/FileByteSource.h"
#include "ombrix/probe/RegularFile.h"
#include "ombrix/probe/RiffWalker.h"

using namespace ombrix::probe;

namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& b, std::string_view s) {
    b.insert(b.end(), s.begin(), s.end());
}
void put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
}
void chunk(Bytes& b, std::string_view id, std::size_t size) {
    put(b, id);
    put32(b, std::uint32_t(size));
    b.insert(b.end(), size + (size & 1), 0xAA);
}
Bytes riffHeader() {
    Bytes b;
    put(b, "RIFF");
    put32(b, 0);
    put(b, "WAVE");
    return b;
}

Bytes id3(std::initializer_list<std::uint8_t> header, std::size_t size) {
    Bytes b;
    put(b, "ID3");
    b.insert(b.end(), header);
    b.resize(size, 0);
    return b;
}

}  // namespace

// Where the audio starts, for every kind of header the probe knows, damaged ones included.
TEST(MediaProbe, StartOffsetOfEveryHeader) {
    Bytes odd = riffHeader();
    chunk(odd, "fmt ", 17);  // odd: one pad byte follows
    chunk(odd, "junk", 3);
    const std::int64_t dataAt = std::int64_t(odd.size()) + 8;
    chunk(odd, "data", 100);
    Bytes noData = riffHeader();
    chunk(noData, "fmt ", 16);
    Bytes huge = riffHeader();
    put(huge, "fmt ");
    put32(huge, 0xFFFFFFFFu);  // the walk must leave the buffer, not wrap around
    Bytes header128(400, 0x11);
    header128[0] = header128[63] = 0;
    header128[128] = 0xFF;
    Bytes not128 = header128;
    not128[63] = 1;
    Bytes tagged = id3({3, 0, 0, 0, 0, 0x01, 0x05}, 10 + 133);  // syncsafe 133
    std::fill(tagged.begin() + 10, tagged.end(), 0xFF);         // false syncs inside the tag
    tagged.insert(tagged.end(), {0xFF, 0xFB, 0x90, 0x00});
    tagged.resize(tagged.size() + 500, 0);
    const struct {
        const char* what;
        Bytes bytes;
        std::int64_t start;
    } cases[] = {
        {"odd-sized chunks", odd, dataAt},
        {"no data chunk", noData, -1},
        {"huge chunk", huge, -1},
        {"cut RIFF", {'R', 'I', 'F', 'F'}, -1},
        {"128-byte header", header128, 128},
        {"no 128-byte header", not128, 0},
        {"too short for byte 128", Bytes(100, 0), 0},
        {"ID3v2", tagged, 143},
        {"ID3v2.4 with footer", id3({4, 0, 0x10, 0, 0, 0, 20}, 10 + 20 + 10 + 300), 40},
        {"size byte with top bit", id3({3, 0, 0, 0x80, 0, 0, 0}, 200), 0},
        {"size past the end", id3({3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}, 200), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(startOffset(c.bytes), c.start) << c.what;
    EXPECT_EQ(findChunk(BufferByteSource(odd), "data")->size, 100u);
    EXPECT_EQ(id3v2Size(BufferByteSource(tagged)), 143u);
    EXPECT_EQ(startOffset(std::filesystem::path("/nonexistent/ombrix/x.mp3")), -1);
}

TEST(MediaProbe, ChunkWalkEndsAfterTheChunkCap) {
    Bytes b = riffHeader();
    for (int i = 0; i < RiffWalker::kMaxChunks - 1; ++i) chunk(b, "JUNK", 0);
    chunk(b, "data", 4);
    const BufferByteSource src(b);
    const auto data = findChunk(src, "data");
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(data->dataOffset, b.size() - 4);
    // One empty chunk more and the "data" chunk lies beyond what is walked.
    Bytes flood = riffHeader();
    for (int i = 0; i < RiffWalker::kMaxChunks; ++i) chunk(flood, "JUNK", 0);
    chunk(flood, "data", 4);
    EXPECT_EQ(startOffset(std::span<const std::uint8_t>(flood)), -1);
    const BufferByteSource floodSrc(flood);
    RiffWalker walker(floodSrc, 12);
    int n = 0;
    while (walker.next()) ++n;
    EXPECT_EQ(n, RiffWalker::kMaxChunks);
    EXPECT_TRUE(walker.capped());
}

TEST(MediaProbe, SpecialFilesAreNotOpened) {
    const std::filesystem::path fifo =
        std::filesystem::temp_directory_path() / ("ombrix-probe-" + std::to_string(::getpid()));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Opening a FIFO for reading would wait for a writer that never comes.
    EXPECT_FALSE(FileByteSource(fifo).valid());
    EXPECT_EQ(startOffset(fifo), -1);
    EXPECT_EQ(RegularFile::open(fifo, O_RDONLY), -1);
    std::filesystem::remove(fifo);
    EXPECT_FALSE(FileByteSource("/dev/zero").valid());
    EXPECT_FALSE(RegularFile::is("/dev/null"));
}
