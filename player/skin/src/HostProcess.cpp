#include "HostProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <cerrno>
#include <new>

extern char** environ;

namespace ombrix {

using namespace pluginhost;

namespace {

/// Moves @p fd above the descriptors the host receives, so that placing one cannot overwrite
/// the other in the child.
int lift(int fd) {
    const int lifted = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
    ::close(fd);
    return lifted;
}

void sleepMs(int ms) {
    const timespec t{0, ms * 1000000L};
    ::nanosleep(&t, nullptr);
}

}  // namespace

HostProcess::~HostProcess() {
    kill();
    closeAll();
}

void HostProcess::closeAll() {
    if (block_) ::munmap(block_, sizeof(SharedBlock));
    block_ = nullptr;
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
    if (memfd_ >= 0) ::close(memfd_);
    memfd_ = -1;
}

bool HostProcess::start(const QString& program, Kind kind) {
    if (pid_ > 0 || program.isEmpty()) return false;
    memfd_ = ::memfd_create("ombrix-plugin", MFD_CLOEXEC);
    if (memfd_ < 0 || ::ftruncate(memfd_, sizeof(SharedBlock)) != 0) return false;
    void* p = ::mmap(nullptr, sizeof(SharedBlock), PROT_READ | PROT_WRITE, MAP_SHARED, memfd_, 0);
    if (p == MAP_FAILED) return false;
    block_ = new (p) SharedBlock{};  // the memfd is zero-filled; this only starts its lifetime
    block_->magic = kMagic;
    block_->kind = kind;

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
    socket_ = lift(pair[0]);
    const int theirs = lift(pair[1]);
    memfd_ = lift(memfd_);
    if (socket_ < 0 || theirs < 0 || memfd_ < 0) {
        if (theirs >= 0) ::close(theirs);
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, memfd_, kSharedFd);
    posix_spawn_file_actions_adddup2(&actions, theirs, kSocketFd);
    posix_spawn_file_actions_addclosefrom_np(&actions, kSocketFd + 1);
    // The host starts with no signal blocked or ignored, whatever the calling thread had.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const QByteArray path = program.toLocal8Bit();
    char* argv[] = {const_cast<char*>(path.constData()), nullptr};
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, path.constData(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(theirs);
    if (rc != 0) return false;
    pid_ = pid;
    crashed_ = false;
    return true;
}

bool HostProcess::send(Command command, int32_t argument) {
    if (socket_ < 0 || pid_ <= 0) return false;
    const Request request{command, argument, ++serial_};
    return ::send(socket_, &request, sizeof request, MSG_NOSIGNAL | MSG_DONTWAIT) ==
           static_cast<ssize_t>(sizeof request);
}

HostProcess::Wait HostProcess::wait(Reply* reply, int limitMs) {
    if (socket_ < 0 || pid_ <= 0) return Wait::Died;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const int left = limitMs - static_cast<int>(clock.elapsed());
        pollfd pfd{socket_, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, left > 0 ? left : 0);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return Wait::Pending;
        const ssize_t n = ::recv(socket_, reply, sizeof *reply, MSG_DONTWAIT);
        if (n == static_cast<ssize_t>(sizeof *reply)) {
            if (reply->serial == serial_) return Wait::Answered;
            continue;  // a late answer to a request given up on
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        // End of the stream (or a message of the wrong size): the host is gone or broken.
        kill();
        return Wait::Died;
    }
}

void HostProcess::stop(int limitMs) {
    if (pid_ <= 0) return;
    QElapsedTimer clock;
    clock.start();
    if (send(Command::Close)) {
        Reply reply{};
        wait(&reply, limitMs);
    }
    reap(limitMs - static_cast<int>(clock.elapsed()));
}

void HostProcess::reap(int limitMs) {
    if (pid_ <= 0) return;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_ || (done < 0 && errno != EINTR)) {
            pid_ = -1;
            return;
        }
        if (clock.elapsed() >= limitMs) break;
        sleepMs(1);
    }
    kill();
}

void HostProcess::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    // A host that ended by a signal other than ours crashed; SIGKILL here may have come first.
    crashed_ = WIFSIGNALED(status) && WTERMSIG(status) != SIGKILL;
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) crashed_ = true;
    pid_ = -1;
}

}  // namespace ombrix
