#include "ombrix/desktop/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

namespace ombrix {

namespace {

// The one write end the handler may use, and whether a signal is being handled already. A
// signal handler can reach nothing else, so these two live at file scope.
std::atomic<int> writeEnd{-1};
std::atomic<bool> handling{false};

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void onTerminationSignal(int number) {
    if (handling.exchange(true)) _exit(128 + number);  // asked twice: the close hangs
    const int fd = writeEnd.load();
    const unsigned char byte = static_cast<unsigned char>(number);
    if (fd < 0 || write(fd, &byte, 1) != 1) _exit(128 + number);
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (writeEnd.load() >= 0) return;  // another object owns the handlers
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) return;
    writeEnd = fds_[0];
    handling = false;
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kSignals) sigaction(number, &action, nullptr);
    notifier_ = std::make_unique<QSocketNotifier>(fds_[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::readPending);
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_) return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int number : kSignals) sigaction(number, &action, nullptr);
    writeEnd = -1;
    notifier_.reset();
    close(fds_[0]);
    close(fds_[1]);
}

void TerminationSignals::readPending() {
    unsigned char byte = 0;
    while (read(fds_[1], &byte, 1) == 1) emit received(int(byte));
}

}  // namespace ombrix
