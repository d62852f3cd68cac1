#include "ombrix/windows/playlist/DesktopPlaylist.h"

#include <QDir>
#include <QFileInfo>

namespace ombrix {

QString DesktopPlaylist::defaultName(const QString& folder) {
    const QDir dir(folder);
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("favesongs%1.dmp").arg(n);
        if (!QFileInfo::exists(dir.filePath(name))) return name;
    }
}

QString DesktopPlaylist::target(const QString& folder, const QString& answer) {
    // Only a name is asked for: a path typed into the box must not lead out of the folder.
    QString name = QFileInfo(answer.trimmed()).fileName();
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    if (dot > 0) name.truncate(dot);
    if (name.isEmpty() || name == QLatin1String(".")) return {};
    return QDir(folder).filePath(name + QStringLiteral(".dmp"));
}

}  // namespace ombrix
