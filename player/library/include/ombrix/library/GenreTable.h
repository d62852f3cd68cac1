#pragma once

#include <QString>

namespace ombrix {

/**
 * @brief The 256 genre names indexed by the ID3v1 genre byte (116..247 are empty).
 *
 * Thread affinity: any (constant data).
 */
class GenreTable {
public:
    static constexpr int kSize = 256;
    /// The name of genre @p index; empty outside 0..255.
    static QString name(int index);
    /// The index of the first genre called @p name (case-insensitive), or -1.
    static int indexOf(const QString& name);
};

}  // namespace ombrix
