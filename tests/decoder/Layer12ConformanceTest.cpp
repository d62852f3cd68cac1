#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "ConformanceSupport.h"
#include "DecodeSupport.h"

namespace ombrix::test {
namespace {

struct StreamCase {
    const char* name;
    int channels;
    int samplesPerFrame;
};

// The reference files are padded with silence to a power of two; only their content counts.
std::vector<int16_t> trimmedReference(const std::string& name) {
    std::vector<int16_t> reference = readPcm(testdataDir() / (name + ".pcm"));
    while (!reference.empty() && reference.back() == 0) reference.pop_back();
    return reference;
}

void PrintTo(const StreamCase& stream, std::ostream* os) {
    *os << stream.name;
}

struct PathLimits {
    DecodePath path;
    double maxDiff;
    double rms;
};

class Layer12ConformanceTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Layer12ConformanceTest, MatchesTheReferenceOnEveryPath) {
    const StreamCase& stream = GetParam();
    const std::vector<int16_t> reference = trimmedReference(stream.name);
    ASSERT_FALSE(reference.empty());
    for (const PathLimits& limits :
         {PathLimits{DecodePath::Float, 2, 0.15}, PathLimits{DecodePath::Mmx, 2, 0.15},
          PathLimits{DecodePath::K63D, 2, 0.8}}) {
        DecodeOptions options;
        options.path = limits.path;
        options.bufferFrames = 1;  // no padding of a last partial block
        const DecodedPcm pcm =
            decodeFile((testdataDir() / (std::string(stream.name) + ".bit")).string(), options);
        ASSERT_EQ(pcm.result, 1);
        ASSERT_EQ(pcm.channels, stream.channels);
        const ConformanceResult r =
            compareWithReference(pcm.samples, reference,
                                 static_cast<size_t>(stream.samplesPerFrame * stream.channels), 0);
        const char* pathName = limits.path == DecodePath::Float ? "float"
                               : limits.path == DecodePath::Mmx ? "mmx"
                                                                : "k63d";
        std::printf("%-14s %-5s %s\n", stream.name, pathName, r.describe().c_str());
        EXPECT_LE(r.maxDiff, limits.maxDiff) << pathName;
        EXPECT_LE(r.rmsDiff, limits.rms) << pathName;
        EXPECT_GE(r.coverage, 0.95) << pathName;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, Layer12ConformanceTest,
    ::testing::Values(StreamCase{"l1-fl1", 2, 384}, StreamCase{"l1-fl2", 2, 384},
                      StreamCase{"l1-fl3", 2, 384}, StreamCase{"l1-fl4", 1, 384},
                      StreamCase{"l2-fl10", 2, 1152}, StreamCase{"l2-fl11", 2, 1152},
                      StreamCase{"l2-fl12", 2, 1152}, StreamCase{"l2-fl13", 1, 1152}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            if (c == '-') c = '_';
        }
        return name;
    });

TEST(Layer12CrcTest, TheIll2FrameCarriesAValidCrcAndDecodesLikeTheReference) {
    // Despite its name, the CRC word of this frame is the CRC-16 of its header, allocation and
    // scale-factor selection; the reference decodes the frame, and so do we.
    DecodeOptions options;
    options.bufferFrames = 1;
    const DecodedPcm pcm = decodeFile((testdataDir() / "ILL2_wrongcrc.bit").string(), options);
    EXPECT_EQ(pcm.result, 1);
    const std::vector<int16_t> reference = readPcm(testdataDir() / "ILL2_wrongcrc.pcm");
    const ConformanceResult r = compareWithReference(pcm.samples, reference, 2304, 0);
    std::printf("%-14s float %s\n", "ILL2_wrongcrc", r.describe().c_str());
    EXPECT_LE(r.maxDiff, 2);
    EXPECT_LE(r.rmsDiff, 0.15);
    EXPECT_GE(r.coverage, 0.95);
}

}  // namespace
}  // namespace ombrix::test
