// The conformance bitstreams against their reference output, on every synthesis path.
#include <gtest/gtest.h>

#include <string>

#include "DecodeSupport.h"

namespace ombrix::test {
namespace {

struct StreamCase {
    const char* name;
    int channels;
    int samplesPerFrame;
};

void PrintTo(const StreamCase& stream, std::ostream* os) {
    *os << stream.name;
}

class Layer12ConformanceTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Layer12ConformanceTest, MatchesTheReferenceOnEveryPath) {
    const StreamCase& stream = GetParam();
    // The reference files are padded with silence to a power of two; only their content counts.
    std::vector<int16_t> reference = readPcm(testdataDir() / (std::string(stream.name) + ".pcm"));
    while (!reference.empty() && reference.back() == 0) reference.pop_back();
    ASSERT_FALSE(reference.empty());
    for (DecodePath path : kAllPaths) {
        // One frame per block: no padding of a last partial block.
        const DecodedPcm pcm =
            decodeFile(bitstream(stream.name), {.path = path, .bufferFrames = 1});
        ASSERT_EQ(pcm.result, 1);
        ASSERT_EQ(pcm.channels, stream.channels);
        expectConforms(
            compareWithReference(pcm.samples, reference,
                                 static_cast<size_t>(stream.samplesPerFrame * stream.channels), 0),
            2, path == DecodePath::K63D ? 0.8 : 0.15,
            std::string(stream.name) + " " + pathName(path));
    }
}

// Despite its name, the CRC word of ILL2_wrongcrc is the CRC-16 of its header, allocation and
// scale-factor selection; the reference decodes the frame, and so do we.
INSTANTIATE_TEST_SUITE_P(
    Streams, Layer12ConformanceTest,
    ::testing::Values(StreamCase{"l1-fl1", 2, 384}, StreamCase{"l1-fl2", 2, 384},
                      StreamCase{"l1-fl3", 2, 384}, StreamCase{"l1-fl4", 1, 384},
                      StreamCase{"l2-fl10", 2, 1152}, StreamCase{"l2-fl11", 2, 1152},
                      StreamCase{"l2-fl12", 2, 1152}, StreamCase{"l2-fl13", 1, 1152},
                      StreamCase{"ILL2_wrongcrc", 2, 1152}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (c == '-') c = '_';
        return name;
    });

struct Bounds {
    DecodePath path;
    double maxDiff;
    double rms;
};

void PrintTo(const Bounds& b, std::ostream* os) {
    *os << pathName(b.path);
}

class Layer3Conformance : public ::testing::TestWithParam<Bounds> {};

// Mono and joint stereo (middle/side), long, short and mixed blocks, MPEG-1 at 32, 44.1 and
// 48 kHz and MPEG-2 at 22.05 and 24 kHz.
TEST_P(Layer3Conformance, EveryStreamMatchesTheReference) {
    const Bounds& b = GetParam();
    for (const StreamCase& stream :
         {StreamCase{"l3-compl", 0, 1152}, StreamCase{"l3-si", 0, 1152},
          StreamCase{"l3-si_block", 0, 1152}, StreamCase{"l3-he_32khz", 0, 1152},
          StreamCase{"l3-he_44khz", 0, 1152}, StreamCase{"l3-sin1k0db", 0, 1152},
          StreamCase{"M2L3_compl24", 0, 576}, StreamCase{"M2L3_bitrate_22_all", 0, 576}}) {
        const DecodedPcm decoded = decodeFile(bitstream(stream.name), {.path = b.path});
        EXPECT_EQ(decoded.result, 1) << stream.name;
        const std::vector<int16_t> reference =
            readPcm(testdataDir() / (std::string(stream.name) + ".pcm"));
        expectConforms(
            compareWithReference(decoded.samples, reference,
                                 static_cast<size_t>(stream.samplesPerFrame * decoded.channels)),
            b.maxDiff, b.rms, std::string(stream.name) + " " + pathName(b.path));
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, Layer3Conformance,
                         ::testing::Values(Bounds{DecodePath::Float, 2, 0.15},
                                           Bounds{DecodePath::K63D, 2, 0.8},
                                           // The 16-bit path's roundings (input, DCT, the
                                           // products the window leaves out) cost a step at
                                           // most.
                                           Bounds{DecodePath::Mmx, 2, 0.5}),
                         [](const auto& info) { return std::string(pathName(info.param.path)); });

}  // namespace
}  // namespace ombrix::test
