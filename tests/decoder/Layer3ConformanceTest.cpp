#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "ConformanceSupport.h"
#include "DecodeSupport.h"

using namespace ombrix::test;

namespace {

struct Stream {
    const char* name;
    int samplesPerFrame;
};

// Mono and joint stereo (middle/side), long, short and mixed blocks, MPEG-1 at 32, 44.1 and
// 48 kHz and MPEG-2 at 22.05 and 24 kHz.
const Stream kStreams[] = {
    {"l3-compl", 1152},    {"l3-si", 1152},
    {"l3-si_block", 1152}, {"l3-he_32khz", 1152},
    {"l3-he_44khz", 1152}, {"l3-sin1k0db", 1152},
    {"M2L3_compl24", 576}, {"M2L3_bitrate_22_all", 576},
};

struct Bounds {
    DecodePath path;
    const char* label;
    double maxDiff;
    double rms;
};

void PrintTo(const Bounds& b, std::ostream* os) {
    *os << b.label;
}

ConformanceResult decodeAndCompare(const Stream& stream, DecodePath path) {
    const auto bit = testdataDir() / (std::string(stream.name) + ".bit");
    const auto pcm = testdataDir() / (std::string(stream.name) + ".pcm");
    DecodeOptions options;
    options.path = path;
    const DecodedPcm decoded = decodeFile(bit.string(), options);
    EXPECT_EQ(decoded.result, 1) << stream.name;
    return compareWithReference(decoded.samples, readPcm(pcm),
                                static_cast<size_t>(stream.samplesPerFrame * decoded.channels));
}

class Layer3Conformance : public ::testing::TestWithParam<Bounds> {};

}  // namespace

TEST_P(Layer3Conformance, EveryStreamMatchesTheReference) {
    const Bounds& b = GetParam();
    for (const Stream& stream : kStreams) {
        const ConformanceResult r = decodeAndCompare(stream, b.path);
        std::printf("%-22s %-6s %s\n", stream.name, b.label, r.describe().c_str());
        EXPECT_LE(r.maxDiff, b.maxDiff) << stream.name << ": " << r.describe();
        EXPECT_LE(r.rmsDiff, b.rms) << stream.name << ": " << r.describe();
        EXPECT_GE(r.coverage, 0.95) << stream.name << ": " << r.describe();
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, Layer3Conformance,
                         ::testing::Values(Bounds{DecodePath::Float, "float", 2, 0.15},
                                           Bounds{DecodePath::K63D, "k63d", 2, 0.8},
                                           // The 16-bit window costs about a step; the 0 dB
                                           // sine, clipped throughout, a little more.
                                           Bounds{DecodePath::Mmx, "mmx", 8, 1.5}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Layer3Corrupt, DamagedAndTruncatedFilesDecodeWithoutHarm) {
    for (const char* name : {"l3-nonstandard-small", "l3-nonstandard-vbrtag-corrupted"}) {
        const DecodedPcm decoded =
            decodeFile((testdataDir() / (std::string(name) + ".bit")).string());
        EXPECT_NE(decoded.result, 0) << name;
    }
}
