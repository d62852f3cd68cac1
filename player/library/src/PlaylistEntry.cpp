#include "ombrix/library/PlaylistEntry.h"

#include "ombrix/media/MediaIdentifier.h"

namespace ombrix {

PlaylistEntry::Kind PlaylistEntry::kindOf(const QString& entry) {
    if (entry.startsWith(QLatin1String("http"))) return Kind::Url;
    const QString ext = MediaIdentifier::extension(entry);
    if (ext == QLatin1String(".cda")) return Kind::CdTrack;
    if (ext.startsWith(QLatin1String(".zip"))) return Kind::ArchiveMember;
    return Kind::LocalFile;
}

QString PlaylistEntry::cdTrack(const QString& device, int track) {
    QString dev = device;
    while (dev.endsWith(QLatin1Char('/'))) dev.chop(1);
    return QStringLiteral("%1/track%2.cda").arg(dev).arg(track, 2, 10, QLatin1Char('0'));
}

QString PlaylistEntry::archiveMember(const QString& archive, int ordinal) {
    return ordinal <= 0 ? archive : archive + QString::number(ordinal);
}

}  // namespace ombrix
