#include "ombrix/skin/PanelInstaller.h"

#include <cstdio>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

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

// The panels in @p folder, by lower-case name.
QStringList panelsIn(const QString& folder) {
    QStringList names;
    for (const QString& f : QDir(folder).entryList({QStringLiteral("*.bmp")}, QDir::Files)) {
        const QString lower = f.toLower();
        if (!lower.endsWith(QLatin1String(".alt.bmp"))) names << lower.chopped(4);
    }
    return names;
}

// Two members under one name, or a file of another installed panel ("<other>.btn"), would be
// overwritten: the archive is refused instead. Files of the same panel (a new version) and
// loose files (a read-me) are replaced.
void refuseClashes(const QStringList& targets, const QString& panel, const QString& folder) {
    QSet<QString> seen;
    const QStringList others = panelsIn(folder);
    for (const QString& file : targets) {
        const QString lower = file.toLower();
        if (seen.contains(lower))
            throw PanelError(QStringLiteral("The archive holds two files named %1; it is not "
                                            "installed.")
                                 .arg(file)
                                 .toStdString());
        seen.insert(lower);
        if (!QFileInfo::exists(QDir(folder).filePath(file))) continue;
        for (const QString& other : others) {
            if (other == panel.toLower() || !lower.startsWith(other + QLatin1Char('.'))) continue;
            throw PanelError(QStringLiteral("The archive would replace %1 of the panel %2; it "
                                            "is not installed.")
                                 .arg(file, other)
                                 .toStdString());
        }
    }
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
        refuseClashes(targets, panel, folder);
        // Everything is extracted into a folder of its own first: a damaged member or a full
        // disk leaves the panel folder as it was, never half a panel.
        QTemporaryDir staging(QDir(folder).filePath(QStringLiteral(".install-XXXXXX")));
        if (!staging.isValid())
            throw PanelError(
                QStringLiteral("The folder %1 cannot be written.").arg(folder).toStdString());
        for (qsizetype i = 0; i < members.size(); ++i)
            zip.extract(i, QDir(staging.path()).filePath(targets.at(i)));
        const QDir dir(folder);
        for (const QString& file : targets) {
            // rename() replaces an older file of the same panel in one step.
            if (::rename(QFile::encodeName(QDir(staging.path()).filePath(file)).constData(),
                         QFile::encodeName(dir.filePath(file)).constData()) != 0)
                throw PanelError(QStringLiteral("%1 cannot be written into %2.")
                                     .arg(file, folder)
                                     .toStdString());
        }
        return panel;
    } catch (const ArchiveError& e) {
        throw PanelError(std::string("The panel archive cannot be installed: ") + e.what());
    }
}

}  // namespace ombrix
