#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

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
