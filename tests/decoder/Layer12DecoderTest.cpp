// Layer I and II decoding of whole streams: CRC protection, damaged payloads, and the streams
// the conformance set lacks (MPEG-2, the low-rate tables).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "DecodeSupport.h"

namespace ombrix::test {
namespace {

DecodedPcm decodeBytes(const TempDir& dir, const std::vector<uint8_t>& stream,
                       int bufferFrames = 1) {
    writeFile(dir / "stream.mp2", stream);
    return decodeFile((dir / "stream.mp2").string(), {.bufferFrames = bufferFrames});
}

// ILL2_wrongcrc.bit holds one protected Layer II frame (48 kHz, 384 kbit/s, stereo, 1,152 bytes)
// whose 238 bits of allocation and scale-factor selection follow the CRC word.
constexpr size_t kFrameBytes = 1152;
constexpr size_t kProtectedEndBit = 48 + 238;
constexpr size_t kFrameSamples = 1152 * 2;

class Layer12CrcDropTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame_ = readBytes(bitstream("ILL2_wrongcrc"));
        ASSERT_EQ(frame_.size(), kFrameBytes);
        intact_ = decodeBytes(dir_, repeated(frame_));
        ASSERT_EQ(intact_.samples.size(), 4 * kFrameSamples);
    }
    // Four copies of the frame, the second one replaced by `second`.
    std::vector<uint8_t> repeated(const std::vector<uint8_t>& second) const {
        std::vector<uint8_t> stream;
        for (const auto* f : {&frame_, &second, &frame_, &frame_}) append(stream, *f);
        return stream;
    }
    std::vector<uint8_t> flipped(size_t bit) const {
        std::vector<uint8_t> bytes = frame_;
        bytes[bit / 8] ^= static_cast<uint8_t>(0x80u >> (bit % 8));
        return bytes;
    }
    // The decode of a stream whose second frame was dropped: the other three frames exactly as
    // an intact stream starts, since a dropped frame leaves no trace in the synthesis.
    void expectSecondFrameDropped(const DecodedPcm& pcm) const {
        ASSERT_EQ(pcm.samples.size(), 3 * kFrameSamples);
        EXPECT_TRUE(std::equal(pcm.samples.begin(), pcm.samples.end(), intact_.samples.begin()));
    }

    TempDir dir_;
    std::vector<uint8_t> frame_;
    DecodedPcm intact_;
};

TEST_F(Layer12CrcDropTest, AWrongCrcWordDropsTheFrameAndTheBlockFillsOneFrameLater) {
    const std::vector<uint8_t> damaged = flipped(40);  // inside the stored CRC word
    expectSecondFrameDropped(decodeBytes(dir_, repeated(damaged)));
    // With blocks of two frames the first block takes frames 1 and 3; the fourth frame is left
    // for the partial block at the end.
    EXPECT_EQ(decodeBytes(dir_, repeated(damaged), 2).blocks,
              (std::vector<size_t>{2 * kFrameSamples, kFrameSamples}));
    EXPECT_EQ(decodeBytes(dir_, repeated(frame_), 2).blocks,
              (std::vector<size_t>{2 * kFrameSamples, 2 * kFrameSamples}));
}

TEST_F(Layer12CrcDropTest, TheCrcCoversAllocationAndSelectionButNotScaleFactors) {
    for (size_t bit : {size_t{16}, size_t{48}, size_t{100}, kProtectedEndBit - 1}) {
        SCOPED_TRACE(bit);
        expectSecondFrameDropped(decodeBytes(dir_, repeated(flipped(bit))));
    }
    // The first scale-factor bit is not protected: the frame is decoded, differently.
    const DecodedPcm pcm = decodeBytes(dir_, repeated(flipped(kProtectedEndBit)));
    ASSERT_EQ(pcm.samples.size(), 4 * kFrameSamples);
    EXPECT_NE(pcm.samples, intact_.samples);
}

// Every frame of a conformance stream with its payload replaced by random bytes and its CRC
// flag cleared, so that every frame is decoded: whatever the allocations, scale factors and
// codewords say, decoding stays inside the frame and yields one frame of samples per frame.
TEST(Layer12DamageTest, RandomPayloadsDecodeToAFrameOfSamplesEach) {
    TempDir dir;
    std::mt19937 random(11);
    for (const char* name : {"l1-fl2", "l2-fl10", "l2-fl13"}) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> stream = readBytes(bitstream(name));
        size_t samples = 0;
        for (size_t pos = 0; pos + 4 <= stream.size();) {
            mp3::FrameHeader header;
            ASSERT_TRUE(header.decode(wordAt(stream, pos)));
            stream[pos + 1] |= 1;  // no CRC
            for (size_t i = pos + 4; i < pos + header.frameLength(); ++i)
                stream[i] = static_cast<uint8_t>(random());
            pos += header.frameLength();
            samples += static_cast<size_t>(header.samplesPerFrame() * header.channels());
        }
        for (int bufferFrames : {1, 12}) {
            const DecodedPcm pcm = decodeBytes(dir, stream, bufferFrames);
            EXPECT_EQ(pcm.result, 1);
            EXPECT_EQ(pcm.samples.size(), samples);
        }
    }
}

// l1-fl2 (44.1 kHz, 384 kbit/s) relabelled as MPEG-2: 22.05 kHz at 192 kbit/s gives frames of
// the same length and Layer I is coded alike at the lower rates, so the samples stay the same.
TEST(Layer12StreamTest, Mpeg2Layer1FramesAreDecodedLikeMpeg1Ones) {
    TempDir dir;
    const std::vector<uint8_t> original = readBytes(bitstream("l1-fl2"));
    std::vector<uint8_t> stream = original;
    for (size_t pos = 0; pos + 4 <= stream.size();) {
        mp3::FrameHeader header;
        ASSERT_TRUE(header.decode(wordAt(stream, pos)));
        ASSERT_EQ(header.bitrateIndex, 12);
        stream[pos + 1] &= ~0x08;  // id 0
        pos += header.frameLength();
    }
    const DecodedPcm pcm = decodeBytes(dir, stream);
    const DecodedPcm reference = decodeBytes(dir, original);
    ASSERT_EQ(pcm.result, 1);
    EXPECT_EQ(pcm.rate, 22050);
    EXPECT_EQ(reference.rate, 44100);
    EXPECT_FALSE(pcm.samples.empty());
    EXPECT_EQ(pcm.samples, reference.samples);
}

// Subband 0 of a mono Layer I stream with the given allocation and scale factor: the forbidden
// allocation 15 and the scale factor 63 are silent, and a valid pair is not.
TEST(Layer12DamageTest, ForbiddenAllocationAndScaleFactor63AreSilent) {
    TempDir dir;
    for (const auto& [allocation, scale, silent] :
         {std::tuple{15u, 0u, true}, std::tuple{4u, 63u, true}, std::tuple{4u, 0u, false}}) {
        std::vector<uint8_t> frame =
            buildFrame({.layer = 1, .bitrateIndex = 12, .samplingIndex = 1, .mode = 3});
        BitWriter w;
        w.put(allocation, 4);
        for (int subband = 1; subband < 32; ++subband) w.put(0, 4);
        w.put(scale, 6);
        for (int g = 0; g < 12; ++g) w.put(0x5A5Au, static_cast<int>(allocation) + 1);
        std::copy(w.bytes().begin(), w.bytes().end(), frame.begin() + 4);
        std::vector<uint8_t> stream;
        for (int i = 0; i < 4; ++i) append(stream, frame);
        const DecodedPcm pcm = decodeBytes(dir, stream);
        ASSERT_EQ(pcm.samples.size(), 4u * 384) << allocation << " " << scale;
        EXPECT_EQ(
            std::all_of(pcm.samples.begin(), pcm.samples.end(), [](int16_t v) { return v == 0; }),
            silent)
            << allocation << " " << scale;
    }
}

// One second of white noise, encoded with twolame.
std::filesystem::path twolameNoise(const TempDir& dir, int rate, int channels,
                                   const std::string& arguments) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(-12000, 12000);
    std::vector<int16_t> pcm(static_cast<size_t>(rate * channels));
    for (int16_t& s : pcm) s = static_cast<int16_t>(sample(random));
    writeWav(dir / "in.wav", rate, channels, pcm);
    runTool("twolame --quiet " + arguments + " '" + (dir / "in.wav").string() + "' '" +
            (dir / "in.mp2").string() + "'");
    return dir / "in.mp2";
}

// Another decoder, run as a black box, gives the reference for streams the conformance set
// lacks: MPEG-2 Layer II at each lower sampling frequency, in each channel mode, and MPEG-1 at
// 48 kHz and 96 kbit/s, whose table codes only subbands 0-7 (the rest must stay silent).
TEST(Layer12StreamTest, Layer2MatchesAnIndependentDecoder) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";
    TempDir dir;
    struct Case {
        int rate;
        int channels;
        const char* arguments;
    };
    for (const Case& c :
         {Case{24000, 2, "-b 64 -m s"}, Case{22050, 2, "-b 160 -m j"}, Case{16000, 1, "-b 32 -m m"},
          Case{16000, 1, "-b 8 -m m"}, Case{48000, 2, "-b 96 -m s"}}) {
        SCOPED_TRACE(c.arguments);
        const auto mp2 = twolameNoise(dir, c.rate, c.channels, c.arguments);
        runTool("ffmpeg -loglevel error -c:a mp2float -i '" + mp2.string() + "' -f s16le -y '" +
                (dir / "ref.pcm").string() + "'");
        const std::vector<int16_t> reference = readPcm(dir / "ref.pcm");
        const DecodedPcm pcm = decodeFile(mp2.string(), {.bufferFrames = 1});
        ASSERT_EQ(pcm.rate, c.rate);
        // The other decoder may leave out a few frames at the ends: aligned on whole frames.
        expectConforms(
            compareWithReference(pcm.samples, reference, static_cast<size_t>(1152 * c.channels)), 2,
            0.15, c.arguments);
    }
}

}  // namespace
}  // namespace ombrix::test
