// The recorder on its own: format from the first block, conversion of later blocks, and a file
// that is valid at every moment.
#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "WavReader.h"
#include "WavRecorder.h"

using mixora::WavRecorder;
using mixora::test::expectWavHeader;
using mixora::test::readFile;
using mixora::test::TempDir;
using mixora::test::wavSamples;

TEST(WavRecorderTest, FileIsValidAfterEveryBlockWithoutFinish) {
    TempDir dir;
    const std::string path = dir.file("rec.wav");
    WavRecorder recorder(path, 44100, 2);
    // Before any block: a valid, empty WAV.
    auto bytes = readFile(path);
    expectWavHeader(bytes, 2, 44100, 0);

    const std::vector<int16_t> block = {1, -1, 2, -2, 3, -3};
    for (int i = 1; i <= 3; ++i) {
        recorder.append(block.data(), 3, 2, 44100);
        bytes = readFile(path);  // as a reader would find it if the program died now
        expectWavHeader(bytes, 2, 44100, 12u * i);
        EXPECT_EQ(mixora::WavReader::parse(bytes).frames(), 3u * i);
    }
    EXPECT_EQ(wavSamples(bytes)[1], -1);
    recorder.finish();
    recorder.finish();                           // idempotent
    recorder.append(block.data(), 3, 2, 44100);  // after finish: ignored
    EXPECT_EQ(readFile(path).size(), 44u + 36u);
}

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
