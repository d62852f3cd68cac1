#include "ombrix/media/ExclusiveFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace ombrix {
namespace {

// Attempts at a fresh name before giving up; a clash means someone is guessing names.
constexpr int kNameAttempts = 16;

}  // namespace

ExclusiveFile::ExclusiveFile(QString finalPath) : finalPath_(std::move(finalPath)) {
    for (int i = 0; i < kNameAttempts && fd_ < 0; ++i) {
        partPath_ = finalPath_ +
                    QStringLiteral(".part-%1")
                        .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
        fd_ = ::open(QFile::encodeName(partPath_).constData(),
                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ < 0 && errno != EEXIST) fail("cannot create");
    }
    if (fd_ < 0) fail("cannot create");
}

ExclusiveFile::~ExclusiveFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(QFile::encodeName(partPath_).constData());
}

void ExclusiveFile::fail(const char* what) const {
    throw ExclusiveFileError(std::string(what) + " " + QFile::encodeName(finalPath_).toStdString() +
                             ": " + std::strerror(errno));
}

void ExclusiveFile::write(const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size_t(size));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            fail("cannot write");
        }
        data += n;
        size -= n;
        written_ += n;
    }
}

void ExclusiveFile::commit() {
    if (fd_ < 0) fail("cannot write");
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) fail("cannot write");
    if (std::rename(QFile::encodeName(partPath_).constData(),
                    QFile::encodeName(finalPath_).constData()) != 0)
        fail("cannot rename into");
    committed_ = true;
}

}  // namespace ombrix
