#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace ombrix {

/// A text file could not be read or written.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/**
 * @brief Text files as the player reads and writes them: written as UTF-8 with CR LF line ends
 *        and never half-written (temporary file renamed over the old one); read line by line as
 *        UTF-8, falling back to Latin-1 for a line that is not valid UTF-8.
 *
 * Thread affinity: any (stateless).
 */
class TextFile {
public:
    /// Splits at CR, LF or CR LF. A final line end does not start another (empty) line.
    static QList<QByteArray> splitLines(const QByteArray& bytes);
    /// UTF-8 when @p line is valid UTF-8, else Latin-1.
    static QString decodeLine(const QByteArray& line);
    /// Splits and decodes a whole file's bytes.
    static QStringList decodeLines(const QByteArray& bytes);
    /// Each line followed by CR LF, in UTF-8.
    static QByteArray encodeLines(const QStringList& lines);

    /// Text files of the player (playlists, lists, the session marker) are at most this large.
    static constexpr qint64 kMaxTextFile = qint64{64} << 20;
    /// @throws FileError when @p path is not a regular file (a pipe would block, a device never
    /// end), is larger than @p limit, or cannot be read.
    static QByteArray readAll(const QString& path, qint64 limit = kMaxTextFile);
    /// Reads and decodes @p path. @throws FileError when it cannot be opened or read.
    static QStringList readLines(const QString& path);
    /**
     * @brief Replaces @p path with @p bytes atomically, creating missing folders.
     * @throws FileError when the file cannot be written; the old file is then unchanged.
     */
    static void writeAtomic(const QString& path, const QByteArray& bytes);
    /// writeAtomic() of encodeLines(@p lines).
    static void writeLines(const QString& path, const QStringList& lines);
};

}  // namespace ombrix
