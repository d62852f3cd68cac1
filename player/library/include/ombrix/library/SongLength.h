#pragma once

#include <QString>
#include <functional>

namespace ombrix {

/**
 * @brief Play length in milliseconds of an MPEG file whose audio begins at a byte offset;
 *        0 when it cannot be told.
 */
using SongLengthFn = std::function<qint32(const QString& file, qint64 startOffset)>;

/**
 * @brief Song lengths from the decoder library.
 *
 * Thread affinity: any thread may ask.
 */
class SongLength {
public:
    /// Asks the decoder library (OmbrixGetTotalMs); answers 0 when the player was built without it.
    static SongLengthFn decoder();
    /// True when the decoder library is linked.
    static bool available() noexcept;
};

}  // namespace ombrix
