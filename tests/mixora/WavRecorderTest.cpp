// The recorder on its own: format from the first block and conversion of later blocks (a file cut
// off without a finish is ExportsTest's).
#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "WavRecorder.h"

using mixora::WavRecorder;
using mixora::test::expectWavHeader;
using mixora::test::readFile;
using mixora::test::TempDir;
using mixora::test::wavSamples;

TEST(WavRecorderTest, FormatComesFromTheFirstBlockAndLaterBlocksAreConverted) {
    TempDir dir;
    const std::string path = dir.file("mono.wav");
    {
        WavRecorder recorder(path, 44100, 2);
        const std::vector<int16_t> mono = {100, 200};
        recorder.append(mono.data(), 2, 1, 11025);
        const std::vector<int16_t> stereo = {1000, 3000, -10, -20};
        recorder.append(stereo.data(), 2, 2, 11025);  // averaged into the mono file
    }                                                 // the destructor finishes
    const auto bytes = readFile(path);
    expectWavHeader(bytes, 1, 11025, 8);
    EXPECT_EQ(wavSamples(bytes), (std::vector<int16_t>{100, 200, 2000, -15}));

    // And the other way: a stereo file receiving a mono block duplicates it.
    const std::string path2 = dir.file("stereo.wav");
    {
        WavRecorder recorder(path2, 48000, 2);
        const std::vector<int16_t> stereo = {1, 2};
        recorder.append(stereo.data(), 1, 2, 48000);
        const std::vector<int16_t> mono = {7};
        recorder.append(mono.data(), 1, 1, 48000);
    }
    const auto b2 = readFile(path2);
    expectWavHeader(b2, 2, 48000, 8);
    EXPECT_EQ(wavSamples(b2), (std::vector<int16_t>{1, 2, 7, 7}));

    EXPECT_THROW(WavRecorder(dir.file("missing/dir/x.wav"), 44100, 2), mixora::RecorderError);
}
