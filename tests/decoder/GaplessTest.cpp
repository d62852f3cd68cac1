// Songs encoded by lame decode to exactly their source's samples: the encoder delay and padding
// of the LAME tag are left out, at the start, at the end, after seeks and in the lengths, and
// pieces of one recording decoded one after another join into the recording itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "DecodeSupport.h"
#include "GaplessSupport.h"
#include "core/FrameReader.h"
#include "core/PlaybackControl.h"
#include "mp3.h"

namespace ombrix::test {
namespace {

using namespace ombrix::mp3;

constexpr int kRate = 44100;

class GaplessTest : public ::testing::Test {
protected:
    // Encodes frames [from, to) of the piece with lame.
    std::filesystem::path encodePart(const std::vector<int16_t>& piece, size_t from, size_t to,
                                     const std::string& arguments, const std::string& name) {
        const std::vector<int16_t> part(piece.begin() + static_cast<std::ptrdiff_t>(2 * from),
                                        piece.begin() + static_cast<std::ptrdiff_t>(2 * to));
        writeWav(dir_ / (name + ".wav"), kRate, 2, part);
        encodeMp3(dir_ / (name + ".wav"), dir_ / (name + ".mp3"), arguments);
        return dir_ / (name + ".mp3");
    }

    TempDir dir_;
    const std::vector<int16_t> piece_ = musicPiece(kRate, 6.0);
};

TEST_F(GaplessTest, CbrAndVbrSongsDecodeToTheirSourceSampleForSample) {
    const size_t frames = piece_.size() / 2;
    for (const std::string arguments : {"-b 128", "-V 2"}) {
        SCOPED_TRACE(arguments);
        const auto mp3 = encodePart(piece_, 0, frames, arguments, "whole");

        FrameReader reader(mp3.string(), 0);
        FrameHeader header;
        ASSERT_TRUE(reader.readFrame(header));
        ASSERT_TRUE(reader.hasXing()) << "lame writes a Xing or Info frame";
        ASSERT_TRUE(reader.xing().gap);
        EXPECT_EQ(reader.xing().gap->delay, 576);
        EXPECT_EQ(
            static_cast<int64_t>(reader.xing().frames) * 1152 - 576 - reader.xing().gap->padding,
            static_cast<int64_t>(frames));

        const DecodedPcm pcm = decodeFile(mp3.string());
        ASSERT_EQ(pcm.result, 1);
        EXPECT_EQ(pcm.samples.size(), piece_.size()) << "the decoded length is the source's";
        const Alignment a = align(pcm.samples, piece_, 0, 16);
        EXPECT_EQ(a.lag, 0) << "the first decoded sample is the source's first";
        EXPECT_LT(a.relativeError, 0.08);
        EXPECT_GT(align(pcm.samples, piece_, 3, 0).relativeError, 4 * a.relativeError)
            << "the comparison tells a shift of three samples";

        EXPECT_EQ(OmbrixGetTotalMs(mp3.c_str(), 0),
                  static_cast<int32_t>(static_cast<int64_t>(frames) * 1000 / kRate));
    }
}

// The codec's own error grows where a piece starts or stops abruptly (the encoder spreads its
// noise over the transient), for any decoder: near the joins the error is held to that of
// mpg123's gapless decoding of the same files, and everywhere each piece sits at lag 0.
TEST_F(GaplessTest, PiecesCutAnywhereJoinIntoTheWholeWithoutGapOrClick) {
    const size_t frames = piece_.size() / 2;
    const std::vector<size_t> cuts{0, 70001, 171717, frames};
    for (const std::string arguments : {"-b 128", "-V 2"}) {
        SCOPED_TRACE(arguments);
        std::vector<int16_t> joined, reference;
        for (size_t i = 0; i + 1 < cuts.size(); ++i) {
            const std::string name = "part" + std::to_string(i);
            const auto mp3 = encodePart(piece_, cuts[i], cuts[i + 1], arguments, name);
            const DecodedPcm pcm = decodeFile(mp3.string());
            EXPECT_EQ(pcm.samples.size(), 2 * (cuts[i + 1] - cuts[i]));
            joined.insert(joined.end(), pcm.samples.begin(), pcm.samples.end());
            runTool("mpg123 -q -O '" + (dir_ / (name + ".pcm")).string() + "' '" + mp3.string() +
                    "'");
            const std::vector<int16_t> theirs = readPcm(dir_ / (name + ".pcm"));
            reference.insert(reference.end(), theirs.begin(), theirs.end());
        }
        ASSERT_EQ(joined.size(), piece_.size()) << "no gap and no extra samples";
        ASSERT_EQ(reference.size(), piece_.size()) << "mpg123 leaves out delay and padding too";
        for (size_t i = 0; i + 1 < cuts.size(); ++i) {
            const std::vector<int16_t> part(
                joined.begin() + static_cast<std::ptrdiff_t>(2 * cuts[i]),
                joined.begin() + static_cast<std::ptrdiff_t>(2 * cuts[i + 1]));
            const std::vector<int16_t> source(
                piece_.begin() + static_cast<std::ptrdiff_t>(2 * cuts[i]),
                piece_.begin() + static_cast<std::ptrdiff_t>(2 * cuts[i + 1]));
            EXPECT_EQ(align(part, source, 0, 16).lag, 0) << "piece " << i;
        }
        EXPECT_LT(align(joined, piece_, 0, 0).relativeError, 0.08);
        const JoinErrors ours = joinErrors(joined, piece_, {cuts[1], cuts[2]});
        const JoinErrors theirs = joinErrors(reference, piece_, {cuts[1], cuts[2]});
        EXPECT_LE(ours.atJoins, theirs.atJoins * 1.05 + 1.0);
        EXPECT_LE(ours.maxAtJoins, theirs.maxAtJoins + 4);
        int largest = 0;
        for (size_t i = 0; i < joined.size(); ++i)
            largest = std::max(largest, std::abs(joined[i] - reference[i]));
        EXPECT_LE(largest, 4) << "against mpg123's decoding";
        std::printf(
            "[ figures  ] %s: %zu samples (source %zu); RMS error %.1f within 1024 of "
            "the joins, %.1f elsewhere (mpg123 %.1f and %.1f); largest %d and %d; "
            "largest difference from mpg123 %d\n",
            arguments.c_str(), joined.size() / 2, frames, ours.atJoins, ours.elsewhere,
            theirs.atJoins, theirs.elsewhere, ours.maxAtJoins, ours.maxElsewhere, largest);
    }
}

// After a seek the song goes on exactly at the frame asked for: at the start, in the middle and
// in its last frame.
TEST_F(GaplessTest, SeeksLandOnTheSongsOwnSamples) {
    const size_t frames = piece_.size() / 2;
    const auto mp3 = encodePart(piece_, 0, frames, "-b 128", "whole");
    const int32_t last = static_cast<int32_t>((frames - 1) / 1152);
    for (const int32_t target : {0, 1, 97, last}) {
        SCOPED_TRACE(target);
        DecodeOptions options;
        options.bufferFrames = 1;  // blocks of one frame's worth: 2,304 samples
        options.afterBlock = [&](PlaybackControl& control, size_t block) {
            if (block == 3) control.requestSeek(target);
        };
        const DecodedPcm pcm = decodeFile(mp3.string(), options);
        const size_t mark = 3 * 2304;
        // The seek is served before the next frame: what came after the mark is the new segment.
        ASSERT_GT(pcm.samples.size(), mark);
        const std::vector<int16_t> after(pcm.samples.begin() + static_cast<std::ptrdiff_t>(mark),
                                         pcm.samples.end());
        const size_t from = static_cast<size_t>(target) * 1152;
        ASSERT_EQ(after.size(), piece_.size() - 2 * from) << "the rest of the song, no more";
        const std::vector<int16_t> rest(piece_.begin() + static_cast<std::ptrdiff_t>(2 * from),
                                        piece_.end());
        const Alignment a = align(after, rest, 0, 16);
        EXPECT_EQ(a.lag, 0);
        EXPECT_LT(a.relativeError, 0.08);
    }
}

// A tag that cannot be right is not used: a damaged CRC, or a delay and padding that claim more
// than the stream holds. The file then decodes whole, as any other.
TEST_F(GaplessTest, ImplausibleTagsAreIgnored) {
    const size_t frames = piece_.size() / 4;
    const auto mp3 = encodePart(piece_, 0, frames, "-b 128", "short");
    const std::vector<uint8_t> good = readBytes(mp3);
    // MPEG-1 stereo: 4 header bytes, 32 of side information, 120 of Xing fields.
    constexpr size_t kTag = 4 + 32 + 120;
    ASSERT_EQ(std::string(good.begin() + kTag, good.begin() + kTag + 4), "LAME");
    FrameReader reader(mp3.string(), 0);
    FrameHeader header;
    ASSERT_TRUE(reader.readFrame(header));
    const size_t decodedWhole = static_cast<size_t>(reader.xing().frames) * 1152 * 2;

    std::vector<uint8_t> damaged = good;
    damaged[kTag + 21] ^= 0x40;  // the delay, without a CRC to match
    writeFile(dir_ / "damaged.mp3", damaged);
    EXPECT_EQ(decodeFile((dir_ / "damaged.mp3").string()).samples.size(), decodedWhole);

    std::vector<uint8_t> greedy = good;
    greedy[kTag + 21] = 0xFF;  // a delay of 4095 and a padding of 4095 samples
    greedy[kTag + 22] = 0xFF;
    greedy[kTag + 23] = 0xFF;
    const uint16_t crc = lameTagCrc(greedy.data(), kTag + 34);
    greedy[kTag + 34] = static_cast<uint8_t>(crc >> 8);
    greedy[kTag + 35] = static_cast<uint8_t>(crc);
    writeFile(dir_ / "greedy.mp3", greedy);
    FrameReader greedyReader((dir_ / "greedy.mp3").string(), 0);
    header = FrameHeader{};
    ASSERT_TRUE(greedyReader.readFrame(header));
    ASSERT_TRUE(greedyReader.xing().gap) << "the CRC matches, so the tag is read";
    if (static_cast<size_t>(reader.xing().frames) * 1152 > 4095 + 4095) {
        // Still within the stream: trimmed as the tag says.
        EXPECT_EQ(decodeFile((dir_ / "greedy.mp3").string()).samples.size(),
                  decodedWhole - 2 * (4095 + 4095));
    }

    // A stream of two frames cannot lose 8190 samples.
    std::vector<uint8_t> tiny(greedy.begin(),
                              greedy.begin() + static_cast<std::ptrdiff_t>(2 * 417));
    tiny[36 + 8 + 3] = 2;  // the Xing frame count (after "Xing" and the flags): 2
    const uint16_t tinyCrc = lameTagCrc(tiny.data(), kTag + 34);
    tiny[kTag + 34] = static_cast<uint8_t>(tinyCrc >> 8);
    tiny[kTag + 35] = static_cast<uint8_t>(tinyCrc);
    writeFile(dir_ / "tiny.mp3", tiny);
    FrameReader tinyReader((dir_ / "tiny.mp3").string(), 0);
    header = FrameHeader{};
    ASSERT_TRUE(tinyReader.readFrame(header));
    EXPECT_FALSE(tinyReader.songSpan(header).trimmed());
}

// The tag sits after shorter side information in single-channel and MPEG-2 streams.
TEST_F(GaplessTest, MonoHalfRateSongKeepsItsLengthToo) {
    std::vector<int16_t> mono;
    for (size_t i = 0; i < piece_.size() / 2; i += 2) mono.push_back(piece_[2 * i]);
    writeWav(dir_ / "mono.wav", 22050, 1, mono);
    encodeMp3(dir_ / "mono.wav", dir_ / "mono.mp3", "-b 64");
    const DecodedPcm pcm = decodeFile((dir_ / "mono.mp3").string());
    EXPECT_EQ(pcm.rate, 22050);
    EXPECT_EQ(pcm.samples.size(), mono.size());
    EXPECT_EQ(align(pcm.samples, mono, 0, 16, 1).lag, 0);
}

}  // namespace
}  // namespace ombrix::test
