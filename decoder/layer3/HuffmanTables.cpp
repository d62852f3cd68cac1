#include "layer3/HuffmanTables.h"

#include <algorithm>

namespace ombrix::mp3 {

HuffmanTree::HuffmanTree(const HuffmanSource& source) {
    nodes_.push_back({kMissing, kMissing});
    for (int v = 0; v < source.count; ++v) {
        const int length = source.lengths[v];
        const unsigned code = source.codes[v];
        int node = 0;
        bool placed = true;
        for (int b = length - 1; b >= 0 && placed; --b) {
            const int bit = (code >> b) & 1;
            int16_t& child = nodes_[static_cast<size_t>(node)][static_cast<size_t>(bit)];
            if (b == 0) {
                // A code word landing on an existing branch would make the table ambiguous; the
                // first one wins.
                if (child == kMissing) child = static_cast<int16_t>(-(v + 1));
                break;
            }
            if (child == kMissing) {
                child = static_cast<int16_t>(nodes_.size());
                nodes_.push_back({kMissing, kMissing});
                // `child` may dangle after push_back; re-read through the index below.
                node = static_cast<int>(nodes_.size()) - 1;
            } else if (child < 0) {
                placed = false;  // a shorter code word is a prefix of this one
            } else {
                node = child;
            }
        }
    }
    rootBits_ = std::clamp(depth(0), 1, kLookupBits);
    buildLookup(0, rootBits_, source.width);
}

int HuffmanTree::depth(int node) const noexcept {
    int deepest = 0;
    for (const int16_t child : nodes_[static_cast<size_t>(node)])
        deepest = std::max(deepest, child >= 0 ? 1 + depth(child) : 1);
    return deepest;
}

int HuffmanTree::buildLookup(int node, int bits, int width) {
    const size_t offset = lookup_.size();
    lookup_.resize(offset + (size_t{1} << bits));
    for (int pattern = 0; pattern < (1 << bits); ++pattern) {
        HuffmanEntry entry{0, 0, HuffmanEntry::kNone};
        int n = node;
        for (int b = 0; b < bits; ++b) {
            const int16_t child = nodes_[static_cast<size_t>(n)]
                                        [static_cast<size_t>((pattern >> (bits - 1 - b)) & 1)];
            if (child == kMissing) break;
            if (child < 0) {
                const int v = -child - 1;
                entry.value = static_cast<uint16_t>(width ? ((v / width) << 4) | (v % width) : v);
                entry.bits = static_cast<uint8_t>(b + 1);
                entry.kind = HuffmanEntry::kLeaf;
                break;
            }
            n = child;
            if (b == bits - 1) {
                // Longer code words continue in a table of their own.
                const int subBits = std::min(depth(n), kLookupBits);
                const int sub = buildLookup(n, subBits, width);
                entry.value = static_cast<uint16_t>(sub);
                entry.bits = static_cast<uint8_t>(subBits);
                entry.kind = HuffmanEntry::kTable;
            }
        }
        lookup_[offset + static_cast<size_t>(pattern)] = entry;
    }
    return static_cast<int>(offset);
}

const HuffmanTables& HuffmanTables::instance() {
    static const HuffmanTables tables;
    return tables;
}

HuffmanTables::HuffmanTables() {
    trees_.reserve(kHuffmanTreeCount);
    for (const HuffmanSource& source : kHuffmanSources) trees_.emplace_back(source);
    // Order of kHuffmanSources: 1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 24, A, B.
    const int direct[] = {1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15};
    for (int i = 0; i < 13; ++i)
        pair_[static_cast<size_t>(direct[i])] = &trees_[static_cast<size_t>(i)];
    const int linbits16[] = {1, 2, 3, 4, 6, 8, 10, 13};
    const int linbits24[] = {4, 5, 6, 7, 8, 9, 11, 13};
    for (int i = 0; i < 8; ++i) {
        pair_[static_cast<size_t>(16 + i)] = &trees_[13];
        linbits_[static_cast<size_t>(16 + i)] = linbits16[i];
        pair_[static_cast<size_t>(24 + i)] = &trees_[14];
        linbits_[static_cast<size_t>(24 + i)] = linbits24[i];
    }
}

}  // namespace ombrix::mp3
