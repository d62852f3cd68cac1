#include "ombrix/skin/PanelInstaller.h"

#include <QDir>

#include "ombrix/media/ArchiveError.h"
#include "ombrix/media/ZipArchive.h"
#include "ombrix/skin/PanelError.h"

namespace ombrix {
namespace {

bool unsafeName(const QString& stored) {
    QString n = stored;
    n.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (n.startsWith(QLatin1Char('/')) || (n.size() > 1 && n.at(1) == QLatin1Char(':')))
        return true;
    for (const QString& part : n.split(QLatin1Char('/')))
        if (part == QLatin1String("..")) return true;
    return false;
}

}  // namespace

QString PanelInstaller::install(const QString& zipPath, const QString& folder) {
    try {
        const ZipArchive zip(zipPath);
        const QList<ArchiveMember>& members = zip.members();
        QString panel;
        QStringList targets;
        for (const ArchiveMember& m : members) {
            if (m.link)
                throw PanelError(
                    QStringLiteral("The archive holds a link (%1); it is not installed.")
                        .arg(m.name)
                        .toStdString());
            if (unsafeName(m.name))
                throw PanelError(QStringLiteral("The archive holds a name that leads outside "
                                                "the panel folder (%1); it is not installed.")
                                     .arg(m.name)
                                     .toStdString());
            const QString file = safeMemberFileName(m.name);
            if (file.isEmpty())
                throw PanelError(QStringLiteral("The archive holds an unusable name (%1); it is "
                                                "not installed.")
                                     .arg(m.name)
                                     .toStdString());
            targets.append(file);
            const QString lower = file.toLower();
            if (panel.isEmpty() && lower.endsWith(QLatin1String(".bmp")) &&
                !lower.contains(QLatin1String(".alt.bmp")))
                panel = file.chopped(4);
        }
        if (panel.isEmpty()) throw PanelError("not a panel file!");
        if (!QDir().mkpath(folder))
            throw PanelError(
                QStringLiteral("The folder %1 cannot be created.").arg(folder).toStdString());
        const QDir dir(folder);
        for (qsizetype i = 0; i < members.size(); ++i) zip.extract(i, dir.filePath(targets.at(i)));
        return panel;
    } catch (const ArchiveError& e) {
        throw PanelError(std::string("The panel archive cannot be installed: ") + e.what());
    }
}

}  // namespace ombrix
