#include "ombrix/PlaylistOrder.h"

#include <QCollator>
#include <QRandomGenerator>
#include <algorithm>
#include <numeric>

namespace ombrix {

namespace {

/**
 * A sequence of entry indices that can take an element out at a position and put it in at
 * another in O(log n): an implicit treap (a tree ordered by position, balanced by random
 * priorities), kept in flat arrays.
 */
class PositionTree {
public:
    explicit PositionTree(int n) : nodes_(std::size_t(n)) {
        // The balancing priorities only shape the tree; the result does not depend on them.
        quint32 x = 0x9E3779B9u;
        for (Node& node : nodes_) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            node.priority = x;
        }
        for (int i = 0; i < n; ++i) root_ = merge(root_, i);
    }

    /// Moves the element at @p from to @p to (positions in the shortened sequence).
    void move(int from, int to) {
        auto [a, rest] = split(root_, from);
        auto [node, b] = split(rest, 1);
        const int shortened = merge(a, b);
        auto [c, d] = split(shortened, to);
        root_ = merge(merge(c, node), d);
    }

    std::vector<int> order() const {
        std::vector<int> out;
        out.reserve(nodes_.size());
        // In-order walk without recursion.
        std::vector<int> stack;
        int node = root_;
        while (node >= 0 || !stack.empty()) {
            while (node >= 0) {
                stack.push_back(node);
                node = at(node).left;
            }
            node = stack.back();
            stack.pop_back();
            out.push_back(node);
            node = at(node).right;
        }
        return out;
    }

private:
    // One record per element, so that a step down the tree touches one cache line.
    struct Node {
        int left = -1;
        int right = -1;
        int size = 1;
        quint32 priority = 0;
    };

    Node& at(int node) { return nodes_[std::size_t(node)]; }
    const Node& at(int node) const { return nodes_[std::size_t(node)]; }
    int sizeOf(int node) const { return node < 0 ? 0 : at(node).size; }
    void update(int node) {
        Node& n = at(node);
        n.size = 1 + sizeOf(n.left) + sizeOf(n.right);
    }
    int merge(int a, int b) {
        if (a < 0) return b;
        if (b < 0) return a;
        if (at(a).priority > at(b).priority) {
            at(a).right = merge(at(a).right, b);
            update(a);
            return a;
        }
        at(b).left = merge(a, at(b).left);
        update(b);
        return b;
    }
    /// The first @p count elements of @p node's sequence, and the rest.
    std::pair<int, int> split(int node, int count) {
        if (node < 0) return {-1, -1};
        const int leftSize = sizeOf(at(node).left);
        if (count <= leftSize) {
            auto [a, b] = split(at(node).left, count);
            at(node).left = b;
            update(node);
            return {a, node};
        }
        auto [a, b] = split(at(node).right, count - leftSize - 1);
        at(node).right = a;
        update(node);
        return {node, b};
    }

    std::vector<Node> nodes_;
    int root_ = -1;
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
    PositionTree tree(n);
    for (const auto& [from, to] : shuffleMoves(n, random)) tree.move(from, to);
    return tree.order();
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

std::vector<int> PlaylistOrder::sortOrder(const QStringList& entries) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(std::size_t(entries.size()));
    // Folded first: some collation back ends ignore the case setting in their sort keys.
    for (const QString& e : entries) keys.push_back(collator.sortKey(e.toCaseFolded()));
    std::vector<int> order(std::size_t(entries.size()));
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
