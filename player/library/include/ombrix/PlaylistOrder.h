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
    /// Applies shuffleMoves() to @p list.
    static void shuffle(QStringList& list, const Random& random);
    /// The permutation that sorts @p entries case-insensitively in the user's locale (stable).
    static std::vector<int> sortOrder(const QStringList& entries);
    /// Sorts @p list by sortOrder().
    static void sort(QStringList& list);
};

}  // namespace ombrix
