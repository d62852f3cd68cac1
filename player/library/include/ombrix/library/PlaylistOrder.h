#pragma once

#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

namespace ombrix {

/**
 * @brief The playlist's shuffle and sort orders.
 *
 * Thread affinity: any (pure functions).
 */
class PlaylistOrder {
public:
    /// Returns a uniformly distributed integer in [0, n-1].
    using Random = std::function<int(int n)>;

    /// The program's generator (QRandomGenerator::global()).
    static Random systemRandom();

    /**
     * @brief The moves of a shuffle of @p n entries: for i from 0 to n-1 the entry at i moves
     *        to random(n) (taken out, then inserted at that index of the shortened list).
     */
    static std::vector<std::pair<int, int>> shuffleMoves(int n, const Random& random);
    /**
     * @brief The order shuffleMoves() leaves @p n entries in: element i of the result is the
     *        old index of the entry that ends at position i. Each move shifts a few hundred
     *        indices instead of the whole list, so 100,000 entries are shuffled at once.
     */
    static std::vector<int> shuffleOrder(int n, const Random& random);
    /// Applies shuffleMoves() to @p list.
    static void shuffle(QStringList& list, const Random& random);
    /// @p list rearranged so that element i is old element order[i].
    static QStringList permuted(const QStringList& list, const std::vector<int>& order);
    /// The permutation that sorts @p entries case-insensitively in the user's locale (stable);
    /// the locale's sort keys are made once per entry, so large lists sort quickly.
    static std::vector<int> sortOrder(const QStringList& entries);
    /// Sorts @p list by sortOrder().
    static void sort(QStringList& list);
};

}  // namespace ombrix
