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
Bytes riffHeader(std::string_view form = "WAVE") {
    Bytes b;
    put(b, "RIFF");
    put32(b, 0);
    put(b, form);
    return b;
}

}  // namespace

TEST(MediaProbe, RiffDataChunkAfterOddSizedChunks) {
    Bytes b = riffHeader();
    chunk(b, "fmt ", 17);  // odd: one pad byte follows
    chunk(b, "junk", 3);
    const std::size_t dataAt = b.size() + 8;
    chunk(b, "data", 100);
    const BufferByteSource src(b);
    EXPECT_TRUE(isRiff(src));
    EXPECT_TRUE(isRiffWave(src));
    const auto c = findChunk(src, "data");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->dataOffset, dataAt);
    EXPECT_EQ(c->size, 100u);
    EXPECT_EQ(startOffset(b), std::int64_t(dataAt));
    EXPECT_FALSE(findChunk(src, "LIST"));
}

TEST(MediaProbe, RiffWithoutDataOrWithHugeChunkFails) {
    Bytes b = riffHeader();
    chunk(b, "fmt ", 16);
    EXPECT_EQ(startOffset(b), -1);
    Bytes huge = riffHeader();
    put(huge, "fmt ");
    put32(huge, 0xFFFFFFFFu);  // walk must leave the buffer, not wrap around
    EXPECT_EQ(startOffset(huge), -1);
    Bytes tiny{'R', 'I', 'F', 'F'};
    EXPECT_EQ(startOffset(tiny), -1);
}

TEST(MediaProbe, MpegWaveFormatTag) {
    Bytes b = riffHeader();
    put(b, "fmt ");
    put32(b, 30);
    b.push_back(0x55);
    b.push_back(0x00);
    b.resize(60, 0);
    EXPECT_TRUE(isMpegWave(BufferByteSource(b)));
    b[20] = 1;
    EXPECT_FALSE(isMpegWave(BufferByteSource(b)));
}

TEST(MediaProbe, Header128) {
    Bytes b(400, 0x11);
    b[0] = 0;
    b[63] = 0;
    b[128] = 0xFF;
    EXPECT_EQ(startOffset(b), 128);
    b[63] = 1;
    EXPECT_EQ(startOffset(b), 0);
    Bytes shortFile(100, 0);  // too short to have byte 128
    EXPECT_EQ(startOffset(shortFile), 0);
}

TEST(MediaProbe, Id3v2IsSkipped) {
    Bytes b;
    put(b, "ID3");
    b.insert(b.end(), {3, 0, 0, 0, 0, 0x01, 0x05});  // syncsafe size 128 + 5 = 133
    b.insert(b.end(), 133, 0xFF);                    // false syncs inside the tag
    b.insert(b.end(), {0xFF, 0xFB, 0x90, 0x00});
    b.resize(b.size() + 500, 0);
    EXPECT_EQ(id3v2Size(BufferByteSource(b)), 143u);
    EXPECT_EQ(startOffset(b), 143);
}

TEST(MediaProbe, Id3v2FooterAndBrokenSizes) {
    Bytes b;
    put(b, "ID3");
    b.insert(b.end(), {4, 0, 0x10, 0, 0, 0, 20});  // v2.4 with footer
    b.resize(b.size() + 20 + 10 + 300, 0);
    EXPECT_EQ(startOffset(b), 40);
    Bytes bad;
    put(bad, "ID3");
    bad.insert(bad.end(), {3, 0, 0, 0x80, 0, 0, 0});  // top bit set: not a tag
    bad.resize(200, 0);
    EXPECT_EQ(startOffset(bad), 0);
    Bytes overlong;
    put(overlong, "ID3");
    overlong.insert(overlong.end(), {3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F});
    overlong.resize(200, 0);
    EXPECT_EQ(startOffset(overlong), 0);
}

TEST(MediaProbe, MissingFileFails) {
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
