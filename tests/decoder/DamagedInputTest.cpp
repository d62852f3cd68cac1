// Damaged, truncated and hostile input: every decode ends normally (or finds no frame) on every
// synthesis path; the sanitizer builds check that nothing reads outside its buffers.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "DecodeSupport.h"

namespace ombrix::test {
namespace {

void expectCleanEnd(const std::filesystem::path& file, const std::string& what) {
    for (DecodePath path : kAllPaths) {
        const DecodedPcm pcm = decodeFile(file.string(), {.path = path, .bufferFrames = 3});
        EXPECT_TRUE(pcm.result == 1 || pcm.result == -1) << what << " " << pathName(path);
    }
}

// Inputs that once broke the decoder, kept so that they never do again.
TEST(DamagedInputTest, FuzzerFindingsAndDamagedConformanceFilesDecodeCleanly) {
    for (const char* name : {"l3-nonstandard-small", "l3-nonstandard-vbrtag-corrupted"})
        expectCleanEnd(bitstream(name), name);
    const std::filesystem::path dir =
        std::filesystem::path(OMBRIX_SOURCE_DIR) / "tests/fuzz/regressions";
    if (!std::filesystem::exists(dir)) return;
    TempDir tmp;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        // The fuzzers prefix every input with one control byte.
        const std::vector<uint8_t> bytes = readBytes(entry.path());
        if (bytes.empty()) continue;
        writeFile(tmp / "in.bit", std::vector<uint8_t>(bytes.begin() + 1, bytes.end()));
        expectCleanEnd(tmp / "in.bit", entry.path().filename().string());
    }
}

// Every conformance stream, cut short and with bytes overwritten at random.
TEST(DamagedInputTest, CorruptedConformanceStreamsDecodeCleanly) {
    std::mt19937 random(2026);
    TempDir tmp;
    for (const auto& entry : std::filesystem::directory_iterator(testdataDir())) {
        if (entry.path().extension() != ".bit") continue;
        std::vector<uint8_t> bytes = readBytes(entry.path());
        if (bytes.size() > 60000) bytes.resize(60000);
        for (int round = 0; round < 2; ++round) {
            std::vector<uint8_t> damaged = bytes;
            for (size_t i = 0; i < damaged.size() / 50 + 1; ++i)
                damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
            if (round == 1) damaged.resize(damaged.size() * 2 / 3);
            writeFile(tmp / "d.bit", damaged);
            expectCleanEnd(tmp / "d.bit", entry.path().filename().string());
        }
    }
}

// Random damage to Layer III side information and main data with the frame headers kept (codes
// that leave their tree, part2_3_length beyond the reservoir, wild main_data_begin, block
// types, table numbers, huge values): every stream decodes to the end with its length intact.
TEST(DamagedInputTest, Layer3CorruptFramesDecodeToTheEndWithoutHarm) {
    TempDir dir;
    std::mt19937 rng(1234);
    for (const char* name : {"l3-si_block", "M2L3_compl24", "l3-sin1k0db"}) {
        const std::vector<uint8_t> original = readBytes(bitstream(name));
        const size_t cleanSize = decodeFile(bitstream(name)).samples.size();
        for (int round = 0; round < 6; ++round) {
            std::vector<uint8_t> damaged = original;
            std::uniform_int_distribution<size_t> where(0, damaged.size() - 1);
            for (int k = 0; k < 400; ++k) {
                const size_t at = where(rng);
                if (damaged[at] == 0xFF || (at > 0 && damaged[at - 1] == 0xFF)) continue;
                damaged[at] = static_cast<uint8_t>(rng());
            }
            writeFile(dir / "d.mp3", damaged);
            for (DecodePath p : kAllPaths) {
                const DecodedPcm decoded = decodeFile((dir / "d.mp3").string(), {.path = p});
                EXPECT_EQ(decoded.result, 1) << name << " round " << round;
                EXPECT_LE(decoded.samples.size(), cleanSize + 4 * 1152 * 2) << name;
            }
        }
    }
}

}  // namespace
}  // namespace ombrix::test
