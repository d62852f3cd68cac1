#pragma once

#include <QByteArray>
#include <QString>

namespace ombrix {

/**
 * @brief The text a second instance hands to the running one, and its 256-byte block.
 *
 * The block holds the text in UTF-8, zero-terminated, the rest filled with zeros. The receiver
 * dispatches by the first four characters: "@@ad" (append the path that starts at character 7
 * without interrupting the song), "@@st" (stop), "@@ed" (edit the path that starts at character
 * 8), "@@cd" (read the CD's track list); any other text is a path to append and play at once.
 *
 * Thread affinity: a value type; the static functions are pure. Nothing throws.
 */
struct InstanceMessage {
    /// Size of the block, always.
    static constexpr qsizetype kBlockSize = 256;

    enum class Kind { Add, Stop, Edit, Cd, Play };

    Kind kind = Kind::Play;
    QString path;  ///< long form; empty for Stop and Cd, or when the text has no path

    /**
     * @brief The block for @p text: kBlockSize bytes, the text's UTF-8 cut to at most 255 bytes
     *        at a character boundary, then zeros.
     */
    static QByteArray encode(const QString& text);

    /**
     * @brief The text of a block: its bytes up to the first zero (at most kBlockSize of them),
     *        as UTF-8, or as Latin-1 when they are not valid UTF-8. Any bytes are accepted.
     */
    static QString decode(const QByteArray& block);

    /// Dispatches @p text by its first four characters; a text too short for its command's
    /// prefix gives an empty path.
    static InstanceMessage parse(const QString& text);
};

}  // namespace ombrix
