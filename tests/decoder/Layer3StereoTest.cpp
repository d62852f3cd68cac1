#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ConformanceSupport.h"
#include "DecodeSupport.h"

using namespace ombrix::test;

namespace {

// The 16-bit samples of a WAV file's data chunk.
std::vector<int16_t> readWavSamples(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint32_t size = bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 |
                              static_cast<uint32_t>(bytes[at + 7]) << 24;
        if (std::memcmp(&bytes[at], "data", 4) == 0) {
            const size_t count = std::min<size_t>(size, bytes.size() - at - 8) / 2;
            std::vector<int16_t> samples(count);
            for (size_t i = 0; i < count; ++i)
                samples[i] =
                    static_cast<int16_t>(bytes[at + 8 + 2 * i] | bytes[at + 9 + 2 * i] << 8);
            return samples;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

struct Case {
    const char* label;
    int rate;
    const char* lameArguments;
    int samplesPerFrame;
};

}  // namespace

// Plain stereo, joint stereo (middle/side) and MPEG-2 stereo made by lame, checked against mpg123
// run as a reference decoder.
TEST(Layer3Stereo, EncodedStereoModesMatchAReferenceDecoder) {
    const Case cases[] = {
        {"stereo", 44100, "-m s -b 160", 1152},
        {"joint", 48000, "-m j -b 96", 1152},
        {"mpeg2-joint", 22050, "-m j -b 48", 576},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const auto wav = dir / (std::string(c.label) + ".wav");
        const auto mp3 = dir / (std::string(c.label) + ".mp3");
        const auto ref = dir / (std::string(c.label) + "-ref.wav");
        writeSineWav(wav, c.rate, 2, 1.5, 440.0, 1250.0, 0.6);
        encodeMp3(wav, mp3, c.lameArguments);
        runTool("mpg123 -q --no-gapless -w '" + ref.string() + "' '" + mp3.string() + "'");
        const DecodedPcm decoded = decodeFile(mp3.string());
        ASSERT_EQ(decoded.channels, 2) << c.label;
        const ConformanceResult r = compareWithReference(
            decoded.samples, readWavSamples(ref), static_cast<size_t>(2 * c.samplesPerFrame));
        std::printf("%-12s %s\n", c.label, r.describe().c_str());
        EXPECT_LE(r.maxDiff, 2) << c.label << ": " << r.describe();
        EXPECT_LE(r.rmsDiff, 0.5) << c.label << ": " << r.describe();
        EXPECT_GE(r.coverage, 0.95) << c.label << ": " << r.describe();
    }
}
