#pragma once

#include <QString>

namespace ombrix {

/**
 * @brief The folder the open-files dialog starts in.
 *
 * A dialog given a folder that does not exist opens in the process's current folder, or shows a
 * "Music" the user never made; only folders that exist are offered.
 * Thread affinity: any (pure function over the file system). Nothing throws.
 */
class OpenDialogFolder {
public:
    /// @p wanted (a recent folder) when it is a folder, else @p music (the desktop's music
    /// folder) when it is one, else @p home.
    static QString choose(const QString& wanted, const QString& music, const QString& home);
};

}  // namespace ombrix
