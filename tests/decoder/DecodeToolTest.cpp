#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>

#include "DecodeSupport.h"

namespace ombrix::test {
namespace {

struct ToolRun {
    int status = -1;
    std::string output;
};

// Runs ombrix-decode with `arguments`, capturing standard output and error together.
ToolRun runDecodeTool(const std::string& arguments) {
    ToolRun run;
    const std::string command = std::string(OMBRIX_DECODE_TOOL) + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

class DecodeToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeSineWav(dir_ / "s.wav", 44100, 2, 2.0, 440, 660);
        encodeMp3(dir_ / "s.wav", song_, "-b 128");
    }
    std::string quoted(const std::filesystem::path& p) const { return "'" + p.string() + "'"; }
    TempDir dir_;
    std::filesystem::path song_ = dir_ / "s.mp3";
};

// WAV, raw file and standard output carry the same samples; an ID3v2 tag in front changes none.
TEST_F(DecodeToolTest, OutputFormsAgreeAndAnId3v2TagIsSkipped) {
    ASSERT_EQ(runDecodeTool(quoted(song_) + " " + quoted(dir_ / "o.wav")).status, 0);
    ASSERT_EQ(runDecodeTool("--raw " + quoted(song_) + " " + quoted(dir_ / "o.raw")).status, 0);
    const auto wav = readBytes(dir_ / "o.wav");
    const auto raw = readBytes(dir_ / "o.raw");
    EXPECT_EQ(raw.size(), 2u * 44100 * 4)
        << "the source's samples, without the encoder's delay and padding";
    ASSERT_EQ(wav.size(), raw.size() + 44);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(le32(wav, 24), 44100u);
    EXPECT_EQ(le32(wav, 40), raw.size());
    EXPECT_TRUE(std::equal(raw.begin(), raw.end(), wav.begin() + 44));

    // Standard output, and a block size that does not divide the song: the same samples.
    const ToolRun piped = runDecodeTool("--raw --buffer 5 " + quoted(song_) + " -");
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.output.size(), raw.size());

    std::vector<uint8_t> tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x08, 0x00};  // 1,024-byte body
    append(tagged, std::vector<uint8_t>(1024, 0xFF));  // 0xFF runs inside the tag look like sync
    append(tagged, readBytes(song_));
    writeFile(dir_ / "t.mp3", tagged);
    const ToolRun info = runDecodeTool("--info " + quoted(dir_ / "t.mp3"));
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.output.find("start offset: 1034"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("layer: III"), std::string::npos);
    ASSERT_EQ(
        runDecodeTool("--raw " + quoted(dir_ / "t.mp3") + " " + quoted(dir_ / "t.raw")).status, 0);
    EXPECT_EQ(readBytes(dir_ / "t.raw"), raw);
}

TEST_F(DecodeToolTest, ExitStatusesAndMessages) {
    const ToolRun usage = runDecodeTool("--volume");
    EXPECT_EQ(usage.status, 64);
    EXPECT_NE(usage.output.find("usage:"), std::string::npos);
    EXPECT_EQ(runDecodeTool("--path fixed " + quoted(song_) + " x").status, 64);
    EXPECT_EQ(runDecodeTool(quoted(song_)).status, 64);

    writeFile(dir_ / "junk.bin", std::vector<uint8_t>(3000, 0x41));
    const ToolRun none = runDecodeTool(quoted(dir_ / "junk.bin") + " " + quoted(dir_ / "j.wav"));
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.output.find("no MPEG audio frame found in"), std::string::npos);
    EXPECT_EQ(runDecodeTool("--info " + quoted(dir_ / "missing.mp3")).status, 1);

    const ToolRun info = runDecodeTool("--info " + quoted(song_));
    EXPECT_EQ(info.status, 0);
    for (const char* field : {"version: MPEG-1", "sampling rate: 44100 Hz", "bit rate: 128 kbit/s",
                              "encoder delay: 576 samples", "(left out)", "total: 2000 ms"}) {
        EXPECT_NE(info.output.find(field), std::string::npos) << field << "\n" << info.output;
    }
}

}  // namespace
}  // namespace ombrix::test
