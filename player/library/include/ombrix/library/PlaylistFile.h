#pragma once

#include <QString>
#include <QStringList>

namespace ombrix {

/**
 * @brief The extended playlist file (".dmp", one entry a line, UTF-8, CR LF) and the reading of
 *        ".m3u" files.
 *
 * Thread affinity: any (stateless).
 */
class PlaylistFile {
public:
    /// Filter of the save dialogs.
    static inline const QString kFilter = QStringLiteral("extended playlist (*.dmp)|*.dmp");

    /**
     * @brief Completes the lines of a playlist read from @p folder (absolute, without trailing
     *        "/"): from the first line on, each relative path gets the folder put in front; the
     *        first line shorter than three characters stops completion for it and all later lines.
     *        Absolute paths, web addresses and (in ".m3u" files, @p m3u) comment lines stay as
     *        they are.
     */
    static QStringList complete(const QStringList& lines, const QString& folder, bool m3u);

    /// Reads and completes @p fileName. @throws FileError when it cannot be opened.
    static QStringList load(const QString& fileName);
    /// Writes @p entries atomically. @throws FileError.
    static void save(const QString& fileName, const QStringList& entries);
};

}  // namespace ombrix
