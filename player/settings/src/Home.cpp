#include "ombrix/settings/Home.h"

#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include "ombrix/settings/PrivateFolder.h"

namespace ombrix {

QString Home::resolve(const QStringList& args, const QProcessEnvironment& env,
                      const QString& exeDir) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--home") && i + 1 < args.size())
            return QDir::cleanPath(QDir(args[i + 1]).absolutePath());
        if (args[i].startsWith(QLatin1String("--home=")))
            return QDir::cleanPath(QDir(args[i].mid(7)).absolutePath());
    }
    const QString fromEnv = env.value(QStringLiteral("OMBRIX_HOME"));
    if (!fromEnv.isEmpty()) return QDir::cleanPath(QDir(fromEnv).absolutePath());
    if (!exeDir.isEmpty() && QFileInfo::exists(QDir(exeDir).filePath(kMainIni)))
        return QDir::cleanPath(exeDir);
    QString data = env.value(QStringLiteral("XDG_DATA_HOME"));
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        data = QDir(env.value(QStringLiteral("HOME"), QDir::homePath()))
                   .filePath(QStringLiteral(".local/share"));
    return QDir::cleanPath(QDir(data).filePath(QStringLiteral("ombrix")));
}

QString Home::defaultDataDir(const QProcessEnvironment& env, const QString& exeDir) {
    QStringList candidates;
    candidates << env.value(QStringLiteral("OMBRIX_DATA_DIR"));
    if (!exeDir.isEmpty())
        candidates << QDir(exeDir).filePath(QStringLiteral("../share/ombrix/default"));
#ifdef OMBRIX_BUILT_DATA_DIR
    candidates << QStringLiteral(OMBRIX_BUILT_DATA_DIR);
#endif
    for (const QString& c : candidates)
        if (!c.isEmpty() && QFileInfo(c).isDir()) return QDir::cleanPath(QDir(c).absolutePath());
    return {};
}

QString Home::tempFolder(const QProcessEnvironment& env) {
    QString folder;
    const QString runtime = env.value(QStringLiteral("XDG_RUNTIME_DIR"));
    // The runtime folder is private by definition, but only trusted once checked.
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) &&
        PrivateFolder::problem(runtime).isEmpty()) {
        folder = QDir::cleanPath(QDir(runtime).filePath(QStringLiteral("ombrix")));
    } else {
        QString base = env.value(QStringLiteral("TMPDIR"));
        if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QStringLiteral("/tmp");
        // The numeric id: a user name from the environment could name another user's folder.
        folder = QDir::cleanPath(
            QDir(base).filePath(QStringLiteral("ombrix-%1").arg(qulonglong(::getuid()))));
    }
    PrivateFolder::ensure(folder);
    return folder;
}

QString Home::path(const QString& relative) const {
    return QDir(dir_).filePath(relative);
}

bool Home::seed(const QString& defaultData) const {
    QDir home(dir_);
    if (!home.mkpath(QStringLiteral("."))) return false;
    if (!defaultData.isEmpty()) {
        const QDir source(defaultData);
        QDirIterator it(defaultData, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString from = it.next();
            const QString rel = source.relativeFilePath(from);
            const QString to = home.filePath(rel);
            if (it.fileInfo().isDir()) {
                home.mkpath(rel);
            } else if (!QFileInfo::exists(to)) {
                home.mkpath(QFileInfo(rel).path());
                QFile::copy(from, to);
                // Installed data is read-only; the copy belongs to the user.
                QFile::setPermissions(to, QFile::permissions(to) | QFile::WriteOwner);
            }
        }
    }
    for (const char* sub : {"fx", "plugin/bg", "plugin/full", "plugin/amp", "file", "resource"})
        home.mkpath(QString::fromLatin1(sub));
    return true;
}

}  // namespace ombrix
