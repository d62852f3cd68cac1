#include "ombrix/PlaylistOrder.h"

#include <QCollator>
#include <QRandomGenerator>
#include <algorithm>
#include <numeric>

namespace ombrix {

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

void PlaylistOrder::shuffle(QStringList& list, const Random& random) {
    for (const auto& [from, to] : shuffleMoves(int(list.size()), random)) list.move(from, to);
}

std::vector<int> PlaylistOrder::sortOrder(const QStringList& entries) {
    std::vector<int> order(std::size_t(entries.size()));
    std::iota(order.begin(), order.end(), 0);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return collator.compare(entries[a], entries[b]) < 0; });
    return order;
}

void PlaylistOrder::sort(QStringList& list) {
    const std::vector<int> order = sortOrder(list);
    QStringList sorted;
    sorted.reserve(list.size());
    for (int i : order) sorted.append(list[i]);
    list = sorted;
}

}  // namespace ombrix
