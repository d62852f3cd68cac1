#include "support/ProcessGroup.h"

#include <signal.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QThread>
#include <cerrno>

namespace ombrix::test {
namespace {

bool groupAlive(qint64 group) {
    return ::kill(-static_cast<pid_t>(group), 0) == 0 || errno == EPERM;
}

}  // namespace

GroupProcess::GroupProcess() {
    setChildProcessModifier([] { ::setpgid(0, 0); });
    // The leader's id names the group; it is kept because QProcess forgets it once the leader
    // has been reaped while the rest of the group may still run.
    connect(this, &QProcess::started, this, [this] { group_ = processId(); });
}

GroupProcess::~GroupProcess() {
    endGroup(5000);
}

void GroupProcess::endGroup(int limitMs) {
    if (group_ <= 0) return;
    const QDeadlineTimer deadline(limitMs);
    ::kill(-static_cast<pid_t>(group_), SIGTERM);
    waitForFinished(static_cast<int>(deadline.remainingTime()));
    while (groupAlive(group_) && !deadline.hasExpired()) QThread::msleep(20);
    if (groupAlive(group_)) ::kill(-static_cast<pid_t>(group_), SIGKILL);
    if (state() != QProcess::NotRunning) waitForFinished();
    // Killed members linger until their new parent has reaped them; the group is over only then.
    const QDeadlineTimer reaped(5000);
    while (groupAlive(group_) && !reaped.hasExpired()) QThread::msleep(10);
    group_ = 0;
}

}  // namespace ombrix::test
