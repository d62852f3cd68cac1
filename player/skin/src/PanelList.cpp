#include "ombrix/skin/PanelList.h"

#include <QDir>
#include <QFileInfo>

namespace ombrix {

QStringList PanelList::names(const QString& folder) {
    const QDir dir(folder);
    if (!dir.exists()) return {};
    const QFileInfoList files =
        dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    QStringList out;
    for (const QFileInfo& f : files) {
        const QString lower = f.fileName().toLower();
        if (!lower.endsWith(QLatin1String(".bmp")) || lower.contains(QLatin1String(".alt.bmp")))
            continue;
        out.append(f.fileName().chopped(4));
        if (out.size() == kMaxItems) break;
    }
    return out;
}

std::optional<QString> PanelList::resolve(const QString& folder, const QString& name) {
    const QDir dir(folder);
    auto find = [&](const QString& file) -> std::optional<QString> {
        // A name from a settings file must not lead out of the folder.
        if (file.contains(QLatin1Char('/')) || file.startsWith(QLatin1Char('.'))) return {};
        const QFileInfo exact(dir.filePath(file));
        if (exact.isFile()) return exact.filePath();
        for (const QFileInfo& f : dir.entryInfoList(QDir::Files))
            if (f.fileName().compare(file, Qt::CaseInsensitive) == 0) return f.filePath();
        return {};
    };
    if (!name.isEmpty())
        if (auto p = find(name + QStringLiteral(".bmp"))) return p;
    return find(QStringLiteral("default.bmp"));
}

}  // namespace ombrix
