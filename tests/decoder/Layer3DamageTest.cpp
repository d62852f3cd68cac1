#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "DecodeSupport.h"

using namespace ombrix::test;

namespace {

std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

// Random damage to side information and main data (codes that leave their tree, part2_3_length
// beyond the reservoir, wild main_data_begin, block types, table numbers, huge values): every
// stream still decodes to the end with its length intact, on all three paths.
TEST(Layer3Damage, CorruptFramesDecodeToTheEndWithoutHarm) {
    TempDir dir;
    std::mt19937 rng(1234);
    const char* streams[] = {"l3-si_block", "M2L3_compl24", "l3-sin1k0db"};
    for (const char* name : streams) {
        const std::vector<uint8_t> original =
            readBytes(testdataDir() / (std::string(name) + ".bit"));
        const DecodedPcm clean =
            decodeFile((testdataDir() / (std::string(name) + ".bit")).string());
        for (int round = 0; round < 6; ++round) {
            std::vector<uint8_t> damaged = original;
            std::uniform_int_distribution<size_t> where(0, damaged.size() - 1);
            for (int k = 0; k < 400; ++k) {
                const size_t at = where(rng);
                // Keep the frame headers so that the frame count stays comparable.
                if (damaged[at] == 0xFF || (at > 0 && damaged[at - 1] == 0xFF)) continue;
                damaged[at] = static_cast<uint8_t>(rng());
            }
            const auto path = dir / (std::string(name) + std::to_string(round) + ".mp3");
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(damaged.data()),
                       static_cast<std::streamsize>(damaged.size()));
            for (DecodePath p : {DecodePath::Float, DecodePath::Mmx, DecodePath::K63D}) {
                DecodeOptions options;
                options.path = p;
                const DecodedPcm decoded = decodeFile(path.string(), options);
                EXPECT_EQ(decoded.result, 1) << name << " round " << round;
                EXPECT_LE(decoded.samples.size(), clean.samples.size() + 4 * 1152 * 2) << name;
            }
        }
    }
}
