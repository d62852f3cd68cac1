#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "layer3/BitReservoir.h"
#include "layer3/HuffmanTables.h"

using namespace ombrix::mp3;

// Every table is a complete prefix code: each code word leads to its own value, and no branch of
// any tree is left without a code word (a transcription error shows as one or the other). The
// multi-bit lookup gives every code word's value and length whatever bits follow it.
TEST(Layer3Huffman, EveryTableIsACompletePrefixCodeAndLooksUpEveryWord) {
    for (int t = 0; t < kHuffmanTreeCount; ++t) {
        const HuffmanSource& source = kHuffmanSources[t];
        const HuffmanTree tree(source);
        for (int v = 0; v < source.count; ++v) {
            const int length = source.lengths[v];
            int node = 0;
            int16_t child = 0;
            for (int b = length - 1; b >= 0; --b) {
                child = tree.nodes()[static_cast<size_t>(node)][(source.codes[v] >> b) & 1];
                ASSERT_NE(child, HuffmanTree::kMissing) << "tree " << t << " value " << v;
                if (b > 0) {
                    ASSERT_GE(child, 0) << "tree " << t << " value " << v << " ends early";
                    node = child;
                }
            }
            EXPECT_EQ(child, -(v + 1)) << "tree " << t << " value " << v;

            const int want = source.width ? ((v / source.width) << 4) | (v % source.width) : v;
            for (const uint32_t tail : {0u, 0xFFFFFFFFu, 0x5A5A5A5Au}) {
                const uint32_t window =
                    (uint32_t{source.codes[v]} << (32 - length)) | (tail >> length);
                int got = 0;
                ASSERT_EQ(tree.decode(window, got), want) << "tree " << t << " value " << v;
                EXPECT_EQ(got, length) << "tree " << t << " value " << v;
            }
        }
        for (const auto& node : tree.nodes()) {
            EXPECT_NE(node[0], HuffmanTree::kMissing) << "tree " << t;
            EXPECT_NE(node[1], HuffmanTree::kMissing) << "tree " << t;
        }
    }
}

// Reads and peeks cross the ring's wrap most significant bit first; a peek consumes nothing.
TEST(Layer3Reservoir, ReadsAndPeeksAcrossTheRingsWrap) {
    BitReservoir reservoir;
    std::vector<uint8_t> filler(4090, 0);
    reservoir.append(filler.data(), filler.size());
    reservoir.setBitsRead(4090 * 8);
    const uint8_t data[10] = {0xA5, 0x0F, 0xF0, 0x81, 0x42, 0x24, 0x18, 0xC3, 0x3C, 0x99};
    reservoir.append(data, sizeof data);  // wraps after six bytes
    EXPECT_EQ(reservoir.available(), 80);
    EXPECT_EQ(reservoir.getBits(4), 0xAu);
    EXPECT_EQ(reservoir.getBits(12), 0x50Fu);
    EXPECT_EQ(reservoir.getBits(20), 0xF0814u);
    EXPECT_EQ(reservoir.peek32(), 0x22418C33u);  // half a byte in, across the wrap
    EXPECT_EQ(reservoir.peek32(), 0x22418C33u);
    EXPECT_EQ(reservoir.getBits(32), 0x22418C33u);
    reservoir.skipBits(5);
    EXPECT_EQ(reservoir.getBits(7), 0x19u);
    EXPECT_EQ(reservoir.available(), 0);
}
