#pragma once

#include <QString>
#include <QStringList>
#include <array>

#include "ombrix/skin/PluginKind.h"

namespace ombrix {

/**
 * @brief The visual plug-ins found in the home's plug-in folder: "bg/", "full/" and "amp/",
 *        each holding "*.so" files.
 *
 * Thread affinity: any; one object is used by one thread.
 */
class PluginCatalog {
public:
    static constexpr int kMaxPerKind = 32;

    /// @p pluginFolder is the home's "plugin" folder; nothing is read before scan().
    explicit PluginCatalog(QString pluginFolder);

    /// Reads the three folders again: at most kMaxPerKind "*.so" files of each kind, sorted by
    /// name. A missing folder has none.
    void scan();
    /// One entry a plug-in, background first, then full screen, then amp: "bg/a.so", ...
    QStringList entries() const;
    /// The menu captions of @p kind: the file names without their extension, sorted by name.
    QStringList captions(PluginKind kind) const;
    /// The absolute path of the plug-in with @p caption, or "" when there is none.
    QString path(PluginKind kind, const QString& caption) const;

private:
    QString folder_;
    std::array<QStringList, 3> files_;  // file names, by kind
};

}  // namespace ombrix
