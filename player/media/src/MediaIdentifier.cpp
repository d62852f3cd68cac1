#include "ombrix/media/MediaIdentifier.h"

#include <QFile>
#include <QFileInfo>

#include "ombrix/probe/FileByteSource.h"
#include "ombrix/probe/MediaProbe.h"

namespace ombrix {
namespace {

int kindByExtension(const QString& ext) {
    static const QStringList mpeg{".mp2", ".mp3", ".rmp"};
    static const QStringList mci{".rmi",  ".mid", ".midi", ".wav", ".flac", ".ogg", ".oga",
                                 ".opus", ".avi", ".cda",  ".mpg", ".qt",   ".mov", ".dat"};
    static const QStringList module{".mod", ".xm", ".s3m", ".it"};
    if (mpeg.contains(ext)) return kKindMpeg;
    if (mci.contains(ext)) return kKindMci;
    if (module.contains(ext)) return kKindModule;
    return kKindUnknown;
}

std::filesystem::path fsPath(const QString& name) {
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

}  // namespace

QString MediaIdentifier::extension(const QString& name) {
    const QString file = QFileInfo(name).fileName();
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : file.mid(dot).toLower();
}

int MediaIdentifier::mediaKind(const QString& name) {
    const QString ext = extension(name);
    const QFileInfo fi(name);
    if (ext != QLatin1String(".cda") && !(fi.exists() && fi.isFile())) return kKindNotFound;
    const int kind = kindByExtension(ext);
    if (kind == kKindUnknown) return kKindUnknown;
    if (ext == QLatin1String(".wav") && !probe::isRiffWave(probe::FileByteSource(fsPath(name))))
        return kKindUnknown;
    return kind;
}

int MediaIdentifier::refineKind(const QString& name, int kind, bool overridecodec) {
    if (kind == kKindMci && overridecodec && extension(name) == QLatin1String(".wav") &&
        probe::isMpegWave(probe::FileByteSource(fsPath(name))))
        return kKindMpeg;
    return kind;
}

qint64 MediaIdentifier::startOffset(const QString& name) {
    return probe::startOffset(fsPath(name));
}

bool MediaIdentifier::isSupported(const QString& name) const {
    const QString ext = extension(name);
    return !ext.isEmpty() && flat_.contains(ext);
}

bool MediaIdentifier::isArchivePlayable(const QString& name) const {
    const QString ext = extension(name);
    if (ext.isEmpty()) return false;
    for (qsizetype i = kFirstArchivePlayable; i < flat_.size(); ++i)
        if (flat_[i] == ext) return true;
    return false;
}

QList<qsizetype> MediaIdentifier::playableMembers(const QList<ArchiveMember>& members) const {
    QList<qsizetype> playable;
    for (qsizetype i = 0; i < members.size(); ++i)
        if (isArchivePlayable(members[i].name)) playable.append(i);
    return playable;
}

}  // namespace ombrix
