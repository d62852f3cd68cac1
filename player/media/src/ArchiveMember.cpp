#include "ombrix/media/ArchiveMember.h"

#include <QFileInfo>
#include <QStorageInfo>

#include "ombrix/media/ArchiveError.h"

namespace ombrix {

QString safeMemberFileName(const QString& storedName) {
    QString name = storedName;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    name = name.section(QLatin1Char('/'), -1);
    if (name == QLatin1String(".") || name == QLatin1String("..")) return {};
    // Control characters in a file name only cause trouble later (display, shell).
    for (const QChar c : name)
        if (c.unicode() < 0x20) return {};
    return name;
}

void ensureRoomFor(const ArchiveMember& member, const QString& destFile) {
    constexpr qint64 kReserve = qint64{256} << 20;
    const QStorageInfo storage(QFileInfo(destFile).absolutePath());
    if (!storage.isValid()) return;  // unknown: the write itself reports a full disk
    if (member.size > storage.bytesAvailable() - kReserve)
        throw ArchiveError("not enough disk space to extract " + member.name.toStdString());
}

}  // namespace ombrix
