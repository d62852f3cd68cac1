#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "ConformanceSupport.h"
#include "DecodeSupport.h"
#include "Layer12BitWriter.h"
#include "StreamBuilder.h"
#include "WavWriter.h"
#include "core/DecoderSettings.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"
#include "output/CaptureAudioDevice.h"

namespace ombrix::test {
namespace {

std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

DecodedPcm decodeBytes(const TempDir& dir, const std::vector<uint8_t>& stream,
                       int bufferFrames = 1) {
    const auto path = dir / "stream.mp2";
    writeFile(path, stream);
    DecodeOptions options;
    options.bufferFrames = bufferFrames;
    return decodeFile(path.string(), options);
}

// The sizes of the blocks the playback hands to its device, in samples.
std::vector<size_t> blockSizes(const std::filesystem::path& path, int bufferFrames) {
    mp3::DecoderSettings settings;
    settings.setVolume(32768);
    settings.bufferFrames = bufferFrames;
    std::vector<size_t> sizes;
    mp3::CaptureAudioDevice device(
        [&](const mp3::PcmFormat&, const int16_t*, size_t count) { sizes.push_back(count); });
    mp3::PlaybackControl control;
    mp3::Playback playback(settings, control, mp3::EffectsHooks{});
    EXPECT_EQ(playback.run(path.string(), 0, &device), mp3::Playback::kFinished);
    return sizes;
}

// ILL2_wrongcrc.bit holds one protected Layer II frame (48 kHz, 384 kbit/s, stereo, 1,152 bytes)
// whose 238 bits of allocation and scale-factor selection follow the CRC word.
constexpr size_t kFrameBytes = 1152;
constexpr size_t kProtectedEndBit = 48 + 238;
constexpr size_t kFrameSamples = 1152 * 2;

class Layer12CrcDropTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame_ = readBytes(testdataDir() / "ILL2_wrongcrc.bit");
        ASSERT_EQ(frame_.size(), kFrameBytes);
        intact_ = decodeBytes(dir_, repeated(frame_, frame_));
        ASSERT_EQ(intact_.samples.size(), 4 * kFrameSamples);
    }
    // Four copies of the frame, the second one replaced by `second`.
    static std::vector<uint8_t> repeated(const std::vector<uint8_t>& frame,
                                         const std::vector<uint8_t>& second) {
        std::vector<uint8_t> stream;
        append(stream, frame);
        append(stream, second);
        append(stream, frame);
        append(stream, frame);
        return stream;
    }
    static void flipBit(std::vector<uint8_t>& bytes, size_t bit) {
        bytes[bit / 8] ^= static_cast<uint8_t>(0x80u >> (bit % 8));
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
    std::vector<uint8_t> damaged = frame_;
    flipBit(damaged, 40);  // inside the stored CRC word
    expectSecondFrameDropped(decodeBytes(dir_, repeated(frame_, damaged)));

    // With blocks of two frames the first block takes frames 1 and 3; the fourth frame is left
    // for the partial block at the end.
    const auto path = dir_ / "blocks.mp2";
    writeFile(path, repeated(frame_, damaged));
    EXPECT_EQ(blockSizes(path, 2), (std::vector<size_t>{2 * kFrameSamples, kFrameSamples}));
    writeFile(path, repeated(frame_, frame_));
    EXPECT_EQ(blockSizes(path, 2), (std::vector<size_t>{2 * kFrameSamples, 2 * kFrameSamples}));
}

TEST_F(Layer12CrcDropTest, TheCrcCoversAllocationAndSelectionButNotScaleFactors) {
    for (size_t bit : {size_t{16}, size_t{48}, size_t{100}, kProtectedEndBit - 1}) {
        std::vector<uint8_t> damaged = frame_;
        flipBit(damaged, bit);
        SCOPED_TRACE(bit);
        expectSecondFrameDropped(decodeBytes(dir_, repeated(frame_, damaged)));
    }
    // The first scale-factor bit is not protected: the frame is decoded, differently.
    std::vector<uint8_t> changed = frame_;
    flipBit(changed, kProtectedEndBit);
    const DecodedPcm pcm = decodeBytes(dir_, repeated(frame_, changed));
    ASSERT_EQ(pcm.samples.size(), 4 * kFrameSamples);
    EXPECT_FALSE(std::equal(pcm.samples.begin(), pcm.samples.end(), intact_.samples.begin()));
}

// Every frame of a conformance stream with its payload replaced by random bytes and its CRC
// flag cleared, so that every frame is decoded: whatever the allocations, scale factors and
// codewords say, decoding stays inside the frame and yields one frame of samples per frame.
TEST(Layer12DamageTest, RandomPayloadsDecodeToAFrameOfSamplesEach) {
    TempDir dir;
    std::mt19937 random(11);
    for (const char* name : {"l1-fl2", "l2-fl10", "l2-fl13"}) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> stream = readBytes(testdataDir() / (std::string(name) + ".bit"));
        size_t frames = 0;
        int samplesPerFrame = 0;
        int channels = 0;
        for (size_t pos = 0; pos + 4 <= stream.size();) {
            mp3::FrameHeader header;
            const uint32_t word = uint32_t{stream[pos]} << 24 | uint32_t{stream[pos + 1]} << 16 |
                                  uint32_t{stream[pos + 2]} << 8 | stream[pos + 3];
            ASSERT_TRUE(header.decode(word));
            stream[pos + 1] |= 1;  // no CRC
            for (size_t i = pos + 4; i < pos + header.frameLength(); ++i) {
                stream[i] = static_cast<uint8_t>(random());
            }
            pos += header.frameLength();
            samplesPerFrame = header.samplesPerFrame();
            channels = header.channels();
            ++frames;
        }
        for (int bufferFrames : {1, 12}) {
            const DecodedPcm pcm = decodeBytes(dir, stream, bufferFrames);
            EXPECT_EQ(pcm.result, 1);
            EXPECT_EQ(pcm.samples.size(), frames * static_cast<size_t>(samplesPerFrame * channels));
        }
    }
}

// l1-fl2 (44.1 kHz, 384 kbit/s) relabelled as MPEG-2: 22.05 kHz at 192 kbit/s gives frames of
// the same length and Layer I is coded alike at the lower rates, so the samples stay the same.
TEST(Layer12StreamTest, Mpeg2Layer1FramesAreDecodedLikeMpeg1Ones) {
    TempDir dir;
    std::vector<uint8_t> stream = readBytes(testdataDir() / "l1-fl2.bit");
    size_t frames = 0;
    for (size_t pos = 0; pos + 4 <= stream.size(); ++frames) {
        mp3::FrameHeader header;
        const uint32_t word = uint32_t{stream[pos]} << 24 | uint32_t{stream[pos + 1]} << 16 |
                              uint32_t{stream[pos + 2]} << 8 | stream[pos + 3];
        ASSERT_TRUE(header.decode(word));
        ASSERT_EQ(header.bitrateIndex, 12);
        stream[pos + 1] &= ~0x08;  // id 0
        pos += header.frameLength();
    }
    const DecodedPcm pcm = decodeBytes(dir, stream);
    ASSERT_EQ(pcm.result, 1);
    EXPECT_EQ(pcm.rate, 22050);
    EXPECT_EQ(pcm.samples.size(), frames * 384 * 2);
    const DecodedPcm original = decodeBytes(dir, readBytes(testdataDir() / "l1-fl2.bit"));
    EXPECT_EQ(original.rate, 44100);
    EXPECT_EQ(pcm.samples, original.samples);
}

// A Layer I joint-stereo frame (48 kHz, 384 kbit/s, modeExtension 0, so the bound is 4) coding
// only subband 6, shared, with the given left and right scale-factor indices.
std::vector<uint8_t> jointStereoFrame(uint32_t leftScale, uint32_t rightScale) {
    FrameSpec spec;
    spec.layer = 1;
    spec.bitrateIndex = 12;
    spec.samplingIndex = 1;
    spec.mode = 1;  // joint stereo, modeExtension 0
    std::vector<uint8_t> frame = buildFrame(spec);
    Layer12BitWriter w;
    for (int sb = 0; sb < 32; ++sb) {
        const int fields = sb < 4 ? 2 : 1;
        for (int f = 0; f < fields; ++f) w.put(sb == 6 ? 3 : 0, 4);
    }
    w.put(leftScale, 6);
    w.put(rightScale, 6);
    for (int g = 0; g < 12; ++g) w.put(static_cast<uint32_t>((g * 5) % 15), 4);
    std::copy(w.bytes().begin(), w.bytes().end(), frame.begin() + 4);
    return frame;
}

DecodedPcm decodeJointStereo(const TempDir& dir, uint32_t leftScale, uint32_t rightScale) {
    std::vector<uint8_t> stream;
    for (int i = 0; i < 8; ++i) append(stream, jointStereoFrame(leftScale, rightScale));
    DecodedPcm pcm = decodeBytes(dir, stream);
    EXPECT_EQ(pcm.channels, 2);
    EXPECT_EQ(pcm.samples.size(), 8u * 384 * 2);
    return pcm;
}

int peak(const DecodedPcm& pcm, int channel) {
    int p = 0;
    for (size_t i = static_cast<size_t>(channel); i < pcm.samples.size(); i += 2) {
        p = std::max(p, std::abs(static_cast<int>(pcm.samples[i])));
    }
    return p;
}

TEST(Layer12JointStereoTest, SharedSubbandsUseEachChannelsOwnScaleFactor) {
    TempDir dir;
    // Equal scale factors: both channels carry the very same samples.
    const DecodedPcm same = decodeJointStereo(dir, 6, 6);
    EXPECT_GT(peak(same, 0), 1000);
    for (size_t i = 0; i < same.samples.size(); i += 2) {
        ASSERT_EQ(same.samples[i], same.samples[i + 1]) << i;
    }
    // Right scale factor 63: the shared subband is silent on the right only.
    const DecodedPcm leftOnly = decodeJointStereo(dir, 6, 63);
    EXPECT_EQ(peak(leftOnly, 0), peak(same, 0));
    EXPECT_EQ(peak(leftOnly, 1), 0);
    // Three scale-factor steps are a factor of two.
    const DecodedPcm half = decodeJointStereo(dir, 6, 9);
    for (size_t i = 0; i < half.samples.size(); i += 2) {
        ASSERT_NEAR(half.samples[i] / 2.0, half.samples[i + 1], 1.0) << i;
    }
}

void writeNoiseWav(const std::filesystem::path& path, int rate, int channels, double seconds) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(-12000, 12000);
    std::vector<int16_t> pcm(static_cast<size_t>(seconds * rate) * static_cast<size_t>(channels));
    for (int16_t& s : pcm) s = static_cast<int16_t>(sample(random));
    tools::WavWriter writer(path.string(), false);
    ASSERT_TRUE(writer.write(channels, rate, pcm.data(), pcm.size()));
    ASSERT_TRUE(writer.finish());
}

// Power of one channel in [lowHz, highHz), from a plain DFT over `count` samples at `start`.
double bandPower(const DecodedPcm& pcm, int channel, size_t start, size_t count, double lowHz,
                 double highHz) {
    const auto channels = static_cast<size_t>(pcm.channels);
    double power = 0;
    for (size_t k = 1; k < count / 2; ++k) {
        const double hz = static_cast<double>(k) * pcm.rate / static_cast<double>(count);
        if (hz < lowHz || hz >= highHz) continue;
        std::complex<double> sum = 0;
        for (size_t n = 0; n < count; ++n) {
            const double window = 0.5 - 0.5 * std::cos(2 * M_PI * n / count);
            const double v = pcm.samples[(start + n) * channels + static_cast<size_t>(channel)];
            sum += window * v * std::polar(1.0, -2 * M_PI * double(k) * double(n) / double(count));
        }
        power += std::norm(sum);
    }
    return power;
}

TEST(Layer12StreamTest, Layer2At48kHzAnd96kbitsLeavesSubbandsFrom8Silent) {
    TempDir dir;
    writeNoiseWav(dir / "noise.wav", 48000, 2, 1.0);
    runTool("twolame --quiet -b 96 -m s '" + (dir / "noise.wav").string() + "' '" +
            (dir / "noise.mp2").string() + "'");
    const DecodedPcm pcm = decodeFile((dir / "noise.mp2").string());
    ASSERT_EQ(pcm.result, 1);
    ASSERT_EQ(pcm.rate, 48000);
    // Subbands are 750 Hz wide: 0-6 kHz carries the noise, above the filterbank's transition
    // band nothing is left but rounding.
    for (int channel = 0; channel < 2; ++channel) {
        const double coded = bandPower(pcm, channel, 12000, 2048, 200, 5500);
        const double above = bandPower(pcm, channel, 12000, 2048, 6800, 24000);
        EXPECT_GT(coded, 0);
        EXPECT_LT(above, coded * 1e-6) << channel;
    }
}

// Frequency of the strongest DFT bin between 50 Hz and 2 kHz, refined by parabolic interpolation.
double dominantHz(const DecodedPcm& pcm, size_t start, size_t count) {
    double bestPower = 0, bestHz = 0;
    for (double hz = 50; hz < 2000; hz += 1) {
        const double p = bandPower(pcm, 0, start, count, hz, hz + 1);
        if (p > bestPower) {
            bestPower = p;
            bestHz = hz;
        }
    }
    return bestHz;
}

TEST(Layer12StreamTest, Mpeg2Layer2At24kHzDecodesWithTheRightLengthAndPitch) {
    TempDir dir;
    writeSineWav(dir / "sine.wav", 24000, 2, 2.0, 440.0, 440.0, 0.5);
    runTool("twolame --quiet -b 64 '" + (dir / "sine.wav").string() + "' '" +
            (dir / "sine.mp2").string() + "'");
    const std::vector<uint8_t> bytes = readBytes(dir / "sine.mp2");
    ASSERT_GE(bytes.size(), 4u);
    ASSERT_EQ(bytes[1] & 0x08, 0) << "twolame did not write MPEG-2 frames";

    const DecodedPcm pcm = decodeFile((dir / "sine.mp2").string());
    ASSERT_EQ(pcm.result, 1);
    ASSERT_EQ(pcm.rate, 24000);
    ASSERT_EQ(pcm.channels, 2);
    // 64 kbit/s at 24 kHz: 384-byte frames of 1,152 samples (48 ms each); 2 s of input plus the
    // encoder's delay make 42 or 43 frames, all of them decoded.
    const size_t frames = bytes.size() / 384;
    EXPECT_EQ(pcm.samples.size(), frames * 1152 * 2);
    EXPECT_GE(frames, 42u);
    EXPECT_NEAR(dominantHz(pcm, 12000, 8192), 440.0, 3.0);
    // The level comes through too: amplitude 0.5 of full scale.
    int p = 0;
    for (size_t i = 24000; i < 72000; ++i) p = std::max(p, std::abs(int(pcm.samples[i])));
    EXPECT_NEAR(p, 16384, 1000);
}

// Another decoder, run as a black box, gives the reference for streams the conformance set
// lacks: MPEG-2 Layer II at each lower sampling frequency, in each channel mode.
TEST(Layer12StreamTest, Mpeg2Layer2MatchesAnIndependentDecoder) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";
    TempDir dir;
    struct Case {
        int rate;
        int channels;
        const char* arguments;
    };
    for (const Case& c : {Case{24000, 2, "-b 64 -m s"}, Case{22050, 2, "-b 160 -m j"},
                          Case{16000, 1, "-b 32 -m m"}, Case{16000, 1, "-b 8 -m m"}}) {
        SCOPED_TRACE(c.arguments);
        writeNoiseWav(dir / "in.wav", c.rate, c.channels, 1.0);
        runTool(std::string("twolame --quiet ") + c.arguments + " '" + (dir / "in.wav").string() +
                "' '" + (dir / "in.mp2").string() + "'");
        runTool("ffmpeg -loglevel error -c:a mp2float -i '" + (dir / "in.mp2").string() +
                "' -f s16le -y '" + (dir / "ref.pcm").string() + "'");
        const std::vector<int16_t> reference = readPcm(dir / "ref.pcm");
        DecodeOptions options;
        options.bufferFrames = 1;
        const DecodedPcm pcm = decodeFile((dir / "in.mp2").string(), options);
        ASSERT_EQ(pcm.rate, c.rate);
        ASSERT_EQ(pcm.samples.size(), reference.size());
        const ConformanceResult r =
            compareWithReference(pcm.samples, reference, static_cast<size_t>(1152 * c.channels), 0);
        EXPECT_LE(r.maxDiff, 2) << r.describe();
        EXPECT_LE(r.rmsDiff, 0.15) << r.describe();
    }
}

}  // namespace
}  // namespace ombrix::test
