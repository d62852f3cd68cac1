#include "ombrix/library/PlaylistOrder.h"

#include <QCollator>
#include <QRandomGenerator>
#include <algorithm>
#include <future>
#include <numeric>

namespace ombrix {

namespace {

/**
 * A sequence of entry indices that can take an element out at a position and put it in at
 * another quickly: the sequence is cut into blocks of a few hundred, so a move is a short scan
 * over the block sizes and two small shifts inside blocks.
 */
class PositionBlocks {
public:
    explicit PositionBlocks(int n) {
        for (int first = 0; first < n; first += kBlock) {
            std::vector<int> block;
            const int last = std::min(n, first + kBlock);
            block.reserve(std::size_t(2 * kBlock));
            for (int i = first; i < last; ++i) block.push_back(i);
            blocks_.push_back(std::move(block));
        }
    }

    /// Moves the element at @p from to @p to (positions in the shortened sequence).
    void move(int from, int to) {
        auto [b, offset] = locate(from);
        const int element = blocks_[b][std::size_t(offset)];
        blocks_[b].erase(blocks_[b].begin() + offset);
        if (blocks_[b].empty() && blocks_.size() > 1) blocks_.erase(blocks_.begin() + long(b));
        insert(to, element);
    }

    std::vector<int> order() const {
        std::vector<int> out;
        for (const auto& block : blocks_) out.insert(out.end(), block.begin(), block.end());
        return out;
    }

private:
    static constexpr int kBlock = 256;

    /// The block holding @p position and the position inside it; the end of the last block
    /// for a position one past the end.
    std::pair<std::size_t, int> locate(int position) const {
        for (std::size_t b = 0; b < blocks_.size(); ++b) {
            const int size = int(blocks_[b].size());
            if (position < size) return {b, position};
            position -= size;
        }
        return {blocks_.size() - 1, int(blocks_.back().size())};
    }
    void insert(int position, int element) {
        auto [b, offset] = locate(position);
        std::vector<int>& block = blocks_[b];
        block.insert(block.begin() + offset, element);
        if (block.size() >= std::size_t(2 * kBlock)) {
            // Split a grown block so that shifts stay short.
            std::vector<int> tail(block.begin() + kBlock, block.end());
            block.resize(std::size_t(kBlock));
            blocks_.insert(blocks_.begin() + long(b) + 1, std::move(tail));
        }
    }

    std::vector<std::vector<int>> blocks_;
};

}  // namespace

PlaylistOrder::Random PlaylistOrder::systemRandom() {
    return [](int n) { return n <= 0 ? 0 : int(QRandomGenerator::global()->bounded(n)); };
}

std::vector<std::pair<int, int>> PlaylistOrder::shuffleMoves(int n, const Random& random) {
    std::vector<std::pair<int, int>> moves;
    moves.reserve(std::size_t(std::max(n, 0)));
    for (int i = 0; i < n; ++i) {
        // A generator that misbehaves must not move entries outside the list.
        const int to = std::clamp(random(n), 0, n - 1);
        moves.emplace_back(i, to);
    }
    return moves;
}

std::vector<int> PlaylistOrder::shuffleOrder(int n, const Random& random) {
    if (n <= 0) return {};
    PositionBlocks sequence(n);
    for (const auto& [from, to] : shuffleMoves(n, random)) sequence.move(from, to);
    return sequence.order();
}

QStringList PlaylistOrder::permuted(const QStringList& list, const std::vector<int>& order) {
    QStringList out;
    out.reserve(qsizetype(order.size()));
    for (int i : order) out.append(list[i]);
    return out;
}

void PlaylistOrder::shuffle(QStringList& list, const Random& random) {
    list = permuted(list, shuffleOrder(int(list.size()), random));
}

namespace {
/// The locale's sort keys of @p entries [first, last), made with a collator of this thread.
std::vector<QCollatorSortKey> sortKeys(const QStringList& entries, qsizetype first,
                                       qsizetype last) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(std::size_t(last - first));
    // Folded first: some collation back ends ignore the case setting in their sort keys.
    for (qsizetype i = first; i < last; ++i)
        keys.push_back(collator.sortKey(entries[i].toCaseFolded()));
    return keys;
}
}  // namespace

std::vector<int> PlaylistOrder::sortOrder(const QStringList& entries) {
    const qsizetype n = entries.size();
    // Making the keys is most of the work: a big list makes its second half on another thread.
    const qsizetype half = n >= 20000 ? n / 2 : n;
    auto second = std::async(half < n ? std::launch::async : std::launch::deferred,
                             [&entries, half, n] { return sortKeys(entries, half, n); });
    std::vector<QCollatorSortKey> keys = sortKeys(entries, 0, half);
    std::vector<QCollatorSortKey> rest = second.get();
    keys.insert(keys.end(), rest.begin(), rest.end());
    std::vector<int> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return keys[std::size_t(a)].compare(keys[std::size_t(b)]) < 0;
    });
    return order;
}

void PlaylistOrder::sort(QStringList& list) {
    list = permuted(list, sortOrder(list));
}

}  // namespace ombrix
