// The recorder on its own: format from the first block, conversion of later blocks, and a file
// that is valid at every moment.
#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "WavReader.h"
#include "WavRecorder.h"

using mixora::WavRecorder;
using mixora::test::get16;
using mixora::test::get32;
using mixora::test::readFile;
using mixora::test::TempDir;

TEST(WavRecorderTest, FileIsValidAfterEveryBlockWithoutFinish) {
    TempDir dir;
    const std::string path = dir.file("rec.wav");
    WavRecorder recorder(path, 44100, 2);
    // Before any block: a valid, empty WAV.
    auto bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 44u);
    EXPECT_EQ(get32(bytes, 40), 0u);

    const std::vector<int16_t> block = {1, -1, 2, -2, 3, -3};
    for (int i = 1; i <= 3; ++i) {
        recorder.append(block.data(), 3, 2, 44100);
        bytes = readFile(path);  // as a reader would find it if the program died now
        ASSERT_EQ(bytes.size(), 44u + 12u * i);
        EXPECT_EQ(get32(bytes, 4), bytes.size() - 8);
        EXPECT_EQ(get32(bytes, 40), 12u * i);
        const mixora::PcmSound sound = mixora::WavReader::parse(bytes);
        EXPECT_EQ(sound.frames(), 3u * i);
    }
    EXPECT_EQ(static_cast<int16_t>(get16(bytes, 44 + 2)), -1);
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
    ASSERT_EQ(bytes.size(), 44u + 8u);
    EXPECT_EQ(get16(bytes, 22), 1);
    EXPECT_EQ(get32(bytes, 24), 11025u);
    EXPECT_EQ(get32(bytes, 28), 11025u * 2);
    EXPECT_EQ(static_cast<int16_t>(get16(bytes, 44)), 100);
    EXPECT_EQ(static_cast<int16_t>(get16(bytes, 48)), 2000);
    EXPECT_EQ(static_cast<int16_t>(get16(bytes, 50)), -15);

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
    ASSERT_EQ(b2.size(), 44u + 8u);
    EXPECT_EQ(static_cast<int16_t>(get16(b2, 48)), 7);
    EXPECT_EQ(static_cast<int16_t>(get16(b2, 50)), 7);

    EXPECT_THROW(WavRecorder(dir.file("missing/dir/x.wav"), 44100, 2), mixora::RecorderError);
}
