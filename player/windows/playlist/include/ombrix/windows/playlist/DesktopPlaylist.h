#pragma once

#include <QString>

namespace ombrix {

/**
 * @brief Names for "save playlist to desktop": favesongs1.dmp, favesongs2.dmp, ... in the
 *        desktop folder.
 *
 * Thread affinity: any (looks at the folder only).
 */
class DesktopPlaylist {
public:
    /// "favesongsN.dmp" with the smallest N from 1 whose file does not exist in @p folder.
    static QString defaultName(const QString& folder);
    /// Where the answer @p answer of the name box is written: its file name (any folder part
    /// dropped) with the extension replaced by ".dmp", in @p folder. Empty for an empty name.
    static QString target(const QString& folder, const QString& answer);
};

}  // namespace ombrix
