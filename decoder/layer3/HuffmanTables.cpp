#include "layer3/HuffmanTables.h"

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
