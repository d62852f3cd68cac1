#pragma once

#include <QString>
#include <QStringList>

#include "ombrix/remote/TelnetInterpreter.h"

namespace ombrix {

/**
 * @brief The file system behind the remote "load" and "dir" commands, confined to one folder.
 *
 * A remote name never leaves the folder: names with "/" or "..", and links whose target lies
 * outside the folder, are not found.
 * Thread affinity: any (reads the file system only). Does not throw.
 */
class TelnetFolder {
public:
    /**
     * @brief The canonical path of the regular file @p name directly inside @p folder, or an
     *        empty text. The name as given is tried first; when no entry has exactly that name,
     *        the first entry whose name differs only in case is taken.
     */
    static QString findFile(const QString& folder, const QString& name);

    /**
     * @brief Every entry of @p folder in the order the file system gives them, "." and ".."
     *        first. A directory counts as plain when it is not a link, not hidden (a name
     *        beginning with "." other than "." and "..") and writable by its owner.
     */
    static TelnetFolderListing list(const QString& folder);

    /**
     * @brief The canonical paths of those @p entries (a playlist's lines) that are regular
     *        files inside @p folder or a folder below it, in order. Web addresses, files
     *        elsewhere, links leading out, and playlists (which would be opened again without
     *        this check) are left out.
     */
    static QStringList confine(const QString& folder, const QStringList& entries);
};

}  // namespace ombrix
