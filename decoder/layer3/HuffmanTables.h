#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ombrix::mp3 {

/// The code words of one Huffman table of the standard: `count` entries in value order (pair
/// tables: x x `width` + y; quadruple tables: v w x y as a 4-bit number).
struct HuffmanSource {
    const uint16_t* codes;
    const uint8_t* lengths;
    int count;
    int width;  ///< values per coordinate of a pair table; 0 for the quadruple tables
};

constexpr int kHuffmanTreeCount = 17;  ///< pair tables 1, 2, 3, 5..13, 15, 16, 24; quads A, B
extern const HuffmanSource kHuffmanSources[kHuffmanTreeCount];

/// A decoding tree walked one bit at a time. Nodes hold two children; a child >= 0 is the next
/// node, a child < 0 is a leaf holding -(value + 1), and kMissing marks a branch no code word
/// takes (corrupt data ends there).
class HuffmanTree {
public:
    static constexpr int16_t kMissing = INT16_MIN;
    explicit HuffmanTree(const HuffmanSource& source);

    const std::vector<std::array<int16_t, 2>>& nodes() const noexcept { return nodes_; }

private:
    std::vector<std::array<int16_t, 2>> nodes_;
};

/// The decoding trees and linbits of the 32 big-value tables and the two count1 tables. Built
/// once (thread-safe static initialisation) and shared by every decoder.
class HuffmanTables {
public:
    static const HuffmanTables& instance();

    /// Tree of big-value table 0..31; null for table 0 and the unused tables 4 and 14.
    const HuffmanTree* pairTree(int table) const noexcept {
        return pair_[static_cast<size_t>(table)];
    }
    int linbits(int table) const noexcept { return linbits_[static_cast<size_t>(table)]; }
    const HuffmanTree& quadTree(int select) const noexcept { return trees_[select ? 16 : 15]; }

private:
    HuffmanTables();
    std::vector<HuffmanTree> trees_;
    std::array<const HuffmanTree*, 32> pair_{};
    std::array<int, 32> linbits_{};
};

}  // namespace ombrix::mp3
