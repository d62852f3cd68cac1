#include "ombrix/remote/TelnetFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace ombrix {
namespace {

constexpr auto kAll = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

bool unsafeName(const QString& name) {
    return name.isEmpty() || name.contains(QLatin1Char('/')) ||
           name.contains(QLatin1String("..")) || name.contains(QChar(0)) ||
           name == QLatin1String(".");
}

QString caseInsensitiveMatch(const QString& folder, const QString& name) {
    QDirIterator it(folder, kAll);
    while (it.hasNext()) {
        it.next();
        if (it.fileName().compare(name, Qt::CaseInsensitive) == 0) return it.fileName();
    }
    return {};
}

}  // namespace

QString TelnetFolder::findFile(const QString& folder, const QString& name) {
    if (unsafeName(name)) return {};
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty()) return {};
    QString candidate = QDir(root).filePath(name);
    if (!QFileInfo(candidate).isSymLink() && !QFileInfo::exists(candidate)) {
        const QString match = caseInsensitiveMatch(root, name);
        if (match.isEmpty()) return {};
        candidate = QDir(root).filePath(match);
    }
    const QFileInfo target(QFileInfo(candidate).canonicalFilePath());
    if (!target.isFile()) return {};
    const QString path = target.filePath();
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return path.startsWith(prefix) ? path : QString();
}

QStringList TelnetFolder::confine(const QString& folder, const QStringList& entries) {
    QStringList kept;
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty()) return kept;
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    for (const QString& entry : entries) {
        // Only local paths: a web address could also be a relative file name.
        if (entry.contains(QLatin1String("://")) || entry.startsWith(QLatin1String("http")))
            continue;
        const QFileInfo target(QFileInfo(entry).canonicalFilePath());
        if (!target.isFile() || !target.filePath().startsWith(prefix)) continue;
        const QString ext = target.suffix().toLower();
        if (ext == QLatin1String("dmp") || ext == QLatin1String("m3u")) continue;
        kept.append(target.filePath());
    }
    return kept;
}

TelnetFolderListing TelnetFolder::list(const QString& folder) {
    TelnetFolderListing out;
    const QFileInfo info(folder);
    if (!info.isDir()) return out;
    if (!info.isReadable() || !QDir(folder).isReadable()) {
        out.status = TelnetFolderListing::Status::Unreadable;
        return out;
    }
    out.status = TelnetFolderListing::Status::Ok;
    auto plain = [](const QFileInfo& fi, const QString& name) {
        const bool dots = name == QLatin1String(".") || name == QLatin1String("..");
        return fi.isDir() && !fi.isSymLink() && (dots || !name.startsWith(QLatin1Char('.'))) &&
               fi.permission(QFile::WriteOwner);
    };
    for (const char* dots : {".", ".."}) {
        const QString name = QString::fromLatin1(dots);
        out.entries.push_back({name, plain(QFileInfo(QDir(folder).filePath(name)), name)});
    }
    QDirIterator it(folder, kAll);
    while (it.hasNext()) {
        it.next();
        const QFileInfo fi = it.fileInfo();
        out.entries.push_back({fi.fileName(), plain(fi, fi.fileName())});
    }
    return out;
}

}  // namespace ombrix
