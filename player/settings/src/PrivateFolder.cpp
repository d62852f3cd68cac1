#include "ombrix/settings/PrivateFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace ombrix {

QString PrivateFolder::problem(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (S_ISLNK(st.st_mode)) return QStringLiteral("it is a symbolic link");
    if (!S_ISDIR(st.st_mode)) return QStringLiteral("it is not a folder");
    if (st.st_uid != ::getuid()) return QStringLiteral("it belongs to another user");
    if ((st.st_mode & 077) != 0) return QStringLiteral("other users have access to it");
    return {};
}

void PrivateFolder::ensure(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    // Missing parents are made as usual; only the folder itself must be private.
    QDir().mkpath(QFileInfo(path).absolutePath());
    // mkdir never follows a link at the last element; an existing entry is checked below.
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        throw PrivateFolderError(
            QStringLiteral("The temporary folder %1 cannot be created: %2.")
                .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(errno)))
                .toStdString());
    const QString why = problem(path);
    if (!why.isEmpty())
        throw PrivateFolderError(
            QStringLiteral("The temporary folder %1 is not safe to use: %2. Remove it or set "
                           "TMPDIR to a folder of your own.")
                .arg(QDir::toNativeSeparators(path), why)
                .toStdString());
}

}  // namespace ombrix
