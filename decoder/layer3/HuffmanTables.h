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

/// One entry of a multi-bit decoding table: a code word ending within the entry's bits, a
/// branch to a further table for longer code words, or a bit pattern no code word starts with.
struct HuffmanEntry {
    enum Kind : uint8_t { kLeaf, kTable, kNone };
    uint16_t value;  ///< leaf: x << 4 | y (pairs) or the 4-bit v w x y (quadruples); table: offset
    uint8_t bits;    ///< leaf: code bits used at this level; table: index bits of the next table
    Kind kind;
};

/// A decoding tree walked one bit at a time. Nodes hold two children; a child >= 0 is the next
/// node, a child < 0 is a leaf holding -(value + 1), and kMissing marks a branch no code word
/// takes (corrupt data ends there).
class HuffmanTree {
public:
    static constexpr int16_t kMissing = INT16_MIN;
    explicit HuffmanTree(const HuffmanSource& source);

    const std::vector<std::array<int16_t, 2>>& nodes() const noexcept { return nodes_; }

    /// The same code as tables indexed by up to kLookupBits bits at a time, the first table at
    /// offset 0 indexed by rootBits() bits.
    const HuffmanEntry* lookup() const noexcept { return lookup_.data(); }
    int rootBits() const noexcept { return rootBits_; }

    static constexpr int kLookupBits = 8;

    /// Decodes the code word at the start of `window` (first bit most significant): its value
    /// (as in HuffmanEntry) with its length in `length`, or -1 when no code word starts with
    /// these bits (corrupt data). Code words have at most 19 bits, so one window holds any.
    int decode(uint32_t window, int& length) const noexcept {
        const HuffmanEntry* level = lookup_.data();
        int bits = rootBits_;
        int used = 0;
        for (;;) {
            const HuffmanEntry e = level[(window << used) >> (32 - bits)];
            if (e.kind == HuffmanEntry::kLeaf) {
                length = used + e.bits;
                return e.value;
            }
            if (e.kind == HuffmanEntry::kNone) return -1;
            used += bits;
            level = lookup_.data() + e.value;
            bits = e.bits;
        }
    }

private:
    int depth(int node) const noexcept;
    int buildLookup(int node, int bits, int width);

    std::vector<std::array<int16_t, 2>> nodes_;
    std::vector<HuffmanEntry> lookup_;
    int rootBits_ = 1;
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
