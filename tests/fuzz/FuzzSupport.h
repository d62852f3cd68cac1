#pragma once

// What every parser driver shares: the check that aborts, and scratch files of one fuzzing
// process under /tmp, named by its pid.

#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdlib>

namespace ombrix::fuzz {

inline void require(bool condition) {
    if (!condition) std::abort();
}

inline QByteArray bytesOf(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

/// Scratch file of one fuzzing process; @p ext decides how the tag reader treats it.
inline QString scratchFile(const char* ext) {
    return QStringLiteral("/tmp/ombrix-fuzz-%1%2").arg(::getpid()).arg(QLatin1String(ext));
}

/// Scratch folder of one fuzzing process, removed with everything in it when it goes. Drivers
/// keep theirs for the life of the process (a function-local static) and overwrite the files
/// inside: making and removing folders for every input costs more than the parsing.
class ScratchFolder {
public:
    explicit ScratchFolder(const char* tag)
        : path_(QStringLiteral("/tmp/ombrix-fuzz-%1-%2").arg(::getpid()).arg(QLatin1String(tag))) {
        QDir(path_).removeRecursively();
        QDir().mkpath(path_);
    }
    ~ScratchFolder() { QDir(path_).removeRecursively(); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const QString& path() const noexcept { return path_; }
    QString file(const QString& name) const { return path_ + QLatin1Char('/') + name; }
    /// Removes what is inside, keeping the folder.
    void clear() const {
        const QDir dir(path_);
        for (const QString& name :
             dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            if (!QFile::remove(dir.filePath(name))) QDir(dir.filePath(name)).removeRecursively();
        }
    }

private:
    QString path_;
};

inline bool writeBytes(const QString& file, const char* data, qint64 size) {
    QFile f(file);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data, size) == size;
}

}  // namespace ombrix::fuzz
