#include "ombrix/media/DiscWatcher.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

namespace ombrix {

bool discPresent(const QString& drive) {
    const QFileInfo info(drive);
    if (info.isFile()) return true;  // a disc image
    if (drive.isEmpty() || !info.exists()) return false;
    // Non-blocking, so that an open tray is not closed and an empty drive does not wait.
    const int fd = ::open(QFile::encodeName(drive).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const int status = ::ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    ::close(fd);
    return status == CDS_DISC_OK;
}

DiscWatcher::DiscWatcher(Probe probe, int pollMs) : probe_(std::move(probe)) {
    timer_.setInterval(pollMs);
    connect(&timer_, &QTimer::timeout, this, &DiscWatcher::poll);
}

void DiscWatcher::setDrive(const QString& drive) {
    drive_ = drive;
    discIn_ = !drive_.isEmpty() && probe_(drive_);
    if (drive_.isEmpty())
        timer_.stop();
    else
        timer_.start();
}

void DiscWatcher::poll() {
    if (drive_.isEmpty()) return;
    const bool in = probe_(drive_);
    if (in == discIn_) return;
    discIn_ = in;
    if (in)
        emit arrived(drive_);
    else
        emit removed(drive_);
}

}  // namespace ombrix
