#include <gtest/gtest.h>

#include <random>

#include "DecodeSupport.h"
#include "core/FrameReader.h"

namespace ombrix::test {
namespace {

using mp3::Crc16;
using mp3::FrameHeader;
using mp3::FrameReader;

FrameHeader decoded(const FrameSpec& spec) {
    FrameHeader h;
    EXPECT_TRUE(h.decode(headerWord(spec)));
    return h;
}

TEST(FrameHeaderTest, FrameLengthsFollowLayerVersionRateAndPadding) {
    struct Case {
        FrameSpec spec;
        uint32_t length;
    };
    const Case cases[] = {
        {{.id = 1, .layer = 3, .bitrateIndex = 9, .samplingIndex = 0, .padding = 1}, 418},
        {{.id = 0, .layer = 3, .bitrateIndex = 8, .samplingIndex = 0, .padding = 1}, 209},
        // A Layer I slot is four bytes.
        {{.id = 1, .layer = 1, .bitrateIndex = 12, .samplingIndex = 0, .padding = 1}, 420},
        {{.id = 1, .layer = 2, .bitrateIndex = 14, .samplingIndex = 2, .padding = 1}, 1729},
        // MPEG-2 Layer II carries 1,152 samples: its length is not halved.
        {{.id = 0, .layer = 2, .bitrateIndex = 14, .samplingIndex = 1}, 960},
        {{.id = 0, .layer = 1, .bitrateIndex = 14, .samplingIndex = 1}, 512},
    };
    for (const Case& c : cases) {
        const FrameHeader h = decoded(c.spec);
        EXPECT_EQ(h.frameLength(), c.length) << "layer " << c.spec.layer << " id " << c.spec.id;
        EXPECT_EQ(h.payloadLength, c.length - 4);
    }
    const FrameHeader l3 =
        decoded({.id = 1, .layer = 3, .bitrateIndex = 9, .mode = 3, .protectionAbsent = 0});
    EXPECT_EQ(l3.mainDataLength, 417u - 17 - 2 - 4);
    EXPECT_EQ(decoded({.id = 0, .layer = 3, .bitrateIndex = 8}).mainDataLength, 208u - 17 - 4);
    EXPECT_EQ(decoded({.id = 0, .layer = 3}).samplesPerFrame(), 576);
    EXPECT_EQ(decoded({.id = 1, .layer = 1}).samplesPerFrame(), 384);
}

TEST(FrameHeaderTest, UnreadableHeadersAreRefused) {
    FrameHeader h;
    EXPECT_FALSE(h.decode(headerWord({.bitrateIndex = 0})));   // free format
    EXPECT_FALSE(h.decode(headerWord({.bitrateIndex = 15})));  // reserved
    EXPECT_FALSE(h.decode(headerWord({.samplingIndex = 3})));
    EXPECT_FALSE(h.decode(headerWord({}) & ~(3u << 17)));  // reserved layer
}

std::vector<int> layersRead(const std::filesystem::path& file, int32_t offset = 0) {
    FrameReader reader(file.string(), offset);
    FrameHeader header;
    std::vector<int> layers;
    while (reader.readFrame(header))
        layers.push_back(header.layer * 100 + header.samplingIndex * 10 + header.mode);
    return layers;
}

// The first header locks version, sampling rate and channel mode; frames that differ are noise,
// a layer change is accepted.
TEST(FrameReaderTest, SyncAndLockRules) {
    TempDir dir;
    std::vector<uint8_t> bytes(100, 0x12);
    for (const FrameSpec& spec :
         std::initializer_list<FrameSpec>{{},
                                          {.samplingIndex = 1},  // noise
                                          {},
                                          {.mode = 3},  // mono after stereo: noise
                                          {.layer = 2, .bitrateIndex = 10},
                                          {.bitrateIndex = 15},  // reserved bit rate: noise
                                          {.id = 0},             // other version: noise
                                          {.bitrateIndex = 12, .padding = 1}})
        append(bytes, buildFrame(spec));
    writeFile(dir / "s.mp3", bytes);
    EXPECT_EQ(layersRead(dir / "s.mp3"), (std::vector<int>{300, 300, 200, 300}));
    // The start offset is honoured: the junk is skipped without a search.
    EXPECT_EQ(layersRead(dir / "s.mp3", 100).size(), 4u);

    bytes.clear();
    for (int mode : {3, 0, 3}) append(bytes, buildFrame({.mode = mode}));  // stereo after mono
    writeFile(dir / "m.mp3", bytes);
    EXPECT_EQ(layersRead(dir / "m.mp3"), (std::vector<int>{303, 303}));
}

TEST(FrameReaderTest, DamagedAndTruncatedInputEndsCleanly) {
    TempDir dir;
    // A reserved sampling frequency and 0xFF filler are noise; the real frame is still found.
    std::vector<uint8_t> bytes(300, 0xFF);
    append(bytes, buildFrame({.layer = 3}));
    std::vector<uint8_t> last = buildFrame({.layer = 3});
    last.resize(200);  // cut short: not a frame
    append(bytes, last);
    writeFile(dir / "t.mp3", bytes);
    EXPECT_EQ(layersRead(dir / "t.mp3").size(), 1u);

    FrameReader missing((dir / "none.mp3").string(), 0);
    FrameHeader header;
    EXPECT_FALSE(missing.readFrame(header));
    EXPECT_EQ(missing.getBits(16), 0u);

    writeFile(dir / "empty.mp3", {});
    FrameReader empty((dir / "empty.mp3").string(), 0);
    EXPECT_FALSE(empty.readFrame(header));
}

TEST(FrameReaderTest, BitsAreServedMostSignificantFirstAfterTheCrcWord) {
    TempDir dir;
    std::vector<uint8_t> frame =
        buildFrame({.layer = 2, .bitrateIndex = 10, .protectionAbsent = 0});
    frame[4] = 0xAB;
    frame[5] = 0xCD;  // stored CRC
    frame[6] = 0b10110011;
    frame[7] = 0xF0;
    writeFile(dir / "c.mp2", frame);
    FrameReader reader((dir / "c.mp2").string(), 0);
    FrameHeader header;
    Crc16* crc = nullptr;
    ASSERT_TRUE(reader.readFrame(header, crc));
    ASSERT_NE(crc, nullptr);
    EXPECT_EQ(header.storedCrc, 0xABCD);
    Crc16 expected;
    expected.feed(headerWord({.layer = 2, .bitrateIndex = 10, .protectionAbsent = 0}) & 0xFFFF, 16);
    EXPECT_EQ(crc->value(), expected.value());
    EXPECT_EQ(reader.getBits(1), 1u);
    EXPECT_EQ(reader.getBits(3), 0b011u);
    EXPECT_EQ(reader.getBits(8), 0b00111111u);
    EXPECT_EQ(reader.getBits(20), 0u);
    // Far past the payload: zeros, never a read outside it.
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(reader.getBits(32), 0u);
}

// A 44.1 kHz CBR file made by lame, with the payload of every frame remembered in order.
class LameCbrFile : public ::testing::Test {
protected:
    void SetUp() override {
        writeSineWav(dir_ / "s.wav", 44100, 2, 6.0, 440, 660);
        encodeMp3(dir_ / "s.wav", file_, "-b 128 -t");  // -t: no Xing/Info frame
        FrameReader reader(file_.string(), 0);
        FrameHeader header;
        while (reader.readFrame(header)) {
            payloads_.emplace_back(reader.payload(), reader.payload() + reader.payloadLength());
            paddings_.push_back(header.padding);
        }
    }
    TempDir dir_;
    std::filesystem::path file_ = dir_ / "s.mp3";
    std::vector<std::vector<uint8_t>> payloads_;
    std::vector<int> paddings_;
};

TEST_F(LameCbrFile, SeekToFrameLandsOnTheFrameAsked) {
    ASSERT_GT(payloads_.size(), 200u);
    EXPECT_NE(std::count(paddings_.begin(), paddings_.end(), 1), 0);  // padding really varies
    const int32_t count = static_cast<int32_t>(payloads_.size());
    std::mt19937 random(7);
    // Forward into frames never read (read forward), then back and forth through the table.
    FrameReader reader(file_.string(), 0);
    FrameHeader header;
    ASSERT_TRUE(reader.readFrame(header));
    std::vector<int32_t> targets{150, 20, 0, count - 1, 151};
    for (int i = 0; i < 30; ++i) targets.push_back(static_cast<int32_t>(random() % count));
    for (int32_t n : targets) {
        ASSERT_TRUE(reader.seekToFrame(header, n)) << n;
        EXPECT_EQ(reader.frameIndex(), n);
        ASSERT_EQ(std::vector<uint8_t>(reader.payload(), reader.payload() + reader.payloadLength()),
                  payloads_[static_cast<size_t>(n)])
            << "frame " << n;
    }
    EXPECT_FALSE(reader.seekToFrame(header, count + 10));
}

TEST(FrameReaderTest, TotalMsOfTheDocumentedExamples) {
    TempDir dir;
    std::vector<uint8_t> bytes = buildFrame({.layer = 3, .bitrateIndex = 9});
    bytes.resize(4000000, 0);
    writeFile(dir / "big.mp3", bytes);
    FrameReader big((dir / "big.mp3").string(), 0);
    FrameHeader header;
    ASSERT_TRUE(big.readFrame(header));
    EXPECT_EQ(static_cast<int32_t>(big.totalMs(header)), 250566);

    // A Xing header with all four fields and 1,000 frames.
    std::vector<uint8_t> xing = buildFrame({.layer = 3, .bitrateIndex = 9});
    const size_t at = 4 + 32;
    const uint8_t fields[] = {'X', 'i', 'n', 'g', 0, 0, 0, 0x0F, 0, 0, 0x03, 0xE8, 0, 1, 0, 0};
    std::copy(std::begin(fields), std::end(fields), xing.begin() + at);
    append(xing, buildFrame({.layer = 3, .bitrateIndex = 9}));
    writeFile(dir / "x.mp3", xing);
    FrameReader reader((dir / "x.mp3").string(), 0);
    header = FrameHeader{};
    ASSERT_TRUE(reader.readFrame(header));
    ASSERT_TRUE(reader.hasXing());
    EXPECT_EQ(reader.xing().flags, 0x0Fu);
    EXPECT_EQ(reader.xing().frames, 1000);
    EXPECT_EQ(reader.xing().bytes, 65536);
    EXPECT_EQ(static_cast<int32_t>(reader.totalMs(header)), 26122);
    EXPECT_EQ(reader.frameCountEstimate(header), 1000);
}

TEST(FrameReaderTest, XingTableOfContentsSeeksToTheMiddle) {
    TempDir dir;
    writeSineWav(dir / "s.wav", 44100, 2, 8.0, 300, 500);
    encodeMp3(dir / "s.wav", dir / "v.mp3", "-V 2");
    FrameReader reader((dir / "v.mp3").string(), 0);
    FrameHeader header;
    ASSERT_TRUE(reader.readFrame(header));
    ASSERT_TRUE(reader.hasXing());
    ASSERT_TRUE(reader.hasSeekTable());
    const int32_t frames = reader.xing().frames;
    EXPECT_NEAR(frames, 8.0 * 44100 / 1152, 3);
    ASSERT_TRUE(reader.seekToPercent(header, 50.0f));
    EXPECT_EQ(reader.audioFrameIndex(), frames / 2);
    EXPECT_EQ(reader.frameIndex(), frames / 2 + 1) << "the Xing frame is frame 0";
    int after = 0;
    while (reader.readFrame(header)) ++after;
    EXPECT_NEAR(after, frames / 2, frames / 10);
}

}  // namespace
}  // namespace ombrix::test
