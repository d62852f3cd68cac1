#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "DecodeSupport.h"
#include "StreamBuilder.h"

namespace ombrix::test {
namespace {

std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void expectCleanEnd(const std::filesystem::path& file, const std::string& what) {
    for (DecodePath path : {DecodePath::Float, DecodePath::Mmx, DecodePath::K63D}) {
        const DecodedPcm pcm = decodeFile(file.string(), {.path = path, .bufferFrames = 3});
        EXPECT_TRUE(pcm.result == 1 || pcm.result == -1) << what << " path " << int(path);
    }
}

// Inputs that once broke the decoder, kept so that they never do again.
TEST(DamagedInputTest, FuzzerFindingsDecodeCleanly) {
    const std::filesystem::path dir =
        std::filesystem::path(OMBRIX_SOURCE_DIR) / "tests/fuzz/regressions";
    if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no regression inputs";
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        // The fuzzers prefix every input with one control byte.
        std::vector<uint8_t> bytes = readBytes(entry.path());
        if (bytes.empty()) continue;
        TempDir tmp;
        writeFile(tmp / "in.bit", std::vector<uint8_t>(bytes.begin() + 1, bytes.end()));
        expectCleanEnd(tmp / "in.bit", entry.path().filename().string());
    }
}

// Every conformance stream, cut short and with bytes overwritten at random: each decode ends
// normally (or finds no frame) on every path.
TEST(DamagedInputTest, CorruptedConformanceStreamsDecodeCleanly) {
    std::mt19937 random(2026);
    TempDir tmp;
    for (const auto& entry : std::filesystem::directory_iterator(testdataDir())) {
        if (entry.path().extension() != ".bit") continue;
        std::vector<uint8_t> bytes = readBytes(entry.path());
        if (bytes.size() > 60000) bytes.resize(60000);
        for (int round = 0; round < 2; ++round) {
            std::vector<uint8_t> damaged = bytes;
            for (size_t i = 0; i < damaged.size() / 50 + 1; ++i) {
                damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
            }
            if (round == 1) damaged.resize(damaged.size() * 2 / 3);
            writeFile(tmp / "d.bit", damaged);
            expectCleanEnd(tmp / "d.bit", entry.path().filename().string());
        }
    }
}

}  // namespace
}  // namespace ombrix::test
