#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "layer3/BitReservoir.h"
#include "layer3/HuffmanTables.h"

using namespace ombrix::mp3;

// Every table is a complete prefix code: each code word leads to its own value, and no branch of
// any tree is left without a code word (a transcription error shows as one or the other).
TEST(Layer3Huffman, EveryTableIsACompletePrefixCode) {
    for (int t = 0; t < kHuffmanTreeCount; ++t) {
        const HuffmanSource& source = kHuffmanSources[t];
        const HuffmanTree tree(source);
        for (int v = 0; v < source.count; ++v) {
            int node = 0;
            int16_t child = 0;
            for (int b = source.lengths[v] - 1; b >= 0; --b) {
                child = tree.nodes()[static_cast<size_t>(node)][(source.codes[v] >> b) & 1];
                ASSERT_NE(child, HuffmanTree::kMissing) << "tree " << t << " value " << v;
                if (b > 0) {
                    ASSERT_GE(child, 0) << "tree " << t << " value " << v << " ends early";
                    node = child;
                }
            }
            EXPECT_EQ(child, -(v + 1)) << "tree " << t << " value " << v;
        }
        for (const auto& node : tree.nodes()) {
            EXPECT_NE(node[0], HuffmanTree::kMissing) << "tree " << t;
            EXPECT_NE(node[1], HuffmanTree::kMissing) << "tree " << t;
        }
    }
}

TEST(Layer3Huffman, BigValueTablesShareTreesAndCarryTheirLinbits) {
    const HuffmanTables& tables = HuffmanTables::instance();
    EXPECT_EQ(tables.pairTree(0), nullptr);
    EXPECT_EQ(tables.pairTree(4), nullptr);
    EXPECT_EQ(tables.pairTree(14), nullptr);
    for (int t = 16; t < 24; ++t) EXPECT_EQ(tables.pairTree(t), tables.pairTree(16));
    for (int t = 24; t < 32; ++t) EXPECT_EQ(tables.pairTree(t), tables.pairTree(24));
    EXPECT_EQ(tables.linbits(15), 0);
    EXPECT_EQ(tables.linbits(16), 1);
    EXPECT_EQ(tables.linbits(23), 13);
    EXPECT_EQ(tables.linbits(24), 4);
    EXPECT_EQ(tables.linbits(31), 13);
}

TEST(Layer3Reservoir, ReadsAcrossTheRingsWrapMostSignificantBitFirst) {
    BitReservoir reservoir;
    std::vector<uint8_t> filler(4090, 0);
    reservoir.append(filler.data(), filler.size());
    reservoir.setBitsRead(4090 * 8);
    const uint8_t data[10] = {0xA5, 0x0F, 0xF0, 0x81, 0x42, 0x24, 0x18, 0xC3, 0x3C, 0x99};
    reservoir.append(data, sizeof data);  // wraps after six bytes
    EXPECT_EQ(reservoir.available(), 80);
    EXPECT_EQ(reservoir.getBits(4), 0xAu);
    EXPECT_EQ(reservoir.getBits(12), 0x50Fu);
    EXPECT_EQ(reservoir.getBits(32), 0xF0814224u);
    EXPECT_EQ(reservoir.getBits(32), 0x18C33C99u);
    EXPECT_EQ(reservoir.available(), 0);
}

// The multi-bit tables give every code word's value and length whatever bits follow it.
TEST(Layer3Huffman, LookupTablesDecodeEveryCodeWordWithAnyFollowingBits) {
    for (int t = 0; t < kHuffmanTreeCount; ++t) {
        const HuffmanSource& source = kHuffmanSources[t];
        const HuffmanTree tree(source);
        for (int v = 0; v < source.count; ++v) {
            const int length = source.lengths[v];
            const int want = source.width ? ((v / source.width) << 4) | (v % source.width) : v;
            for (const uint32_t tail : {0u, 0xFFFFFFFFu, 0x5A5A5A5Au}) {
                const uint32_t window =
                    (uint32_t{source.codes[v]} << (32 - length)) | (tail >> length);
                int got = 0;
                ASSERT_EQ(tree.decode(window, got), want) << "tree " << t << " value " << v;
                EXPECT_EQ(got, length) << "tree " << t << " value " << v;
            }
        }
    }
}

TEST(Layer3Reservoir, PeeksAcrossTheWrapWithoutConsuming) {
    BitReservoir reservoir;
    std::vector<uint8_t> filler(4093, 0xFF);
    reservoir.append(filler.data(), filler.size());
    reservoir.setBitsRead(4093 * 8 + 3);
    const uint8_t data[6] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    reservoir.append(data, sizeof data);  // three bytes before the wrap, three after
    EXPECT_EQ(reservoir.peek32(), 0x91A2B3C4u);
    EXPECT_EQ(reservoir.peek32(), 0x91A2B3C4u);
    reservoir.skipBits(13);
    EXPECT_EQ(reservoir.getBits(16), 0x5678u);
}
