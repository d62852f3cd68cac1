#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace ombrix {

/**
 * @brief The panels installed in one folder, and the choice of one of them.
 *
 * Thread affinity: any (reads the file system only). Never throws.
 */
struct PanelList {
    /// At most this many panels are listed per folder.
    static constexpr int kMaxItems = 64;
    /// Only the first this many get the shortcuts Ctrl+1 ...
    static constexpr int kShortcuts = 9;

    /// The captions (file names without ".bmp") of the base images in @p folder, sorted, at
    /// most kMaxItems; alternate images are left out. The extension is matched in any case.
    static QStringList names(const QString& folder);
    /// The base image of panel @p name in @p folder, else the folder's "default.bmp", else
    /// nullopt.
    static std::optional<QString> resolve(const QString& folder, const QString& name);
};

}  // namespace ombrix
