#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace ombrix {

/**
 * @brief Turns SIGTERM, SIGINT and SIGHUP (the session ending, Ctrl+C in a terminal, a closed
 *        terminal) into a signal on the main thread, so the program can close the way the
 *        Exit command does and keep its settings and playlist.
 *
 * The handler only writes one byte to a socket pair (which is safe in a signal handler); the
 * main thread reads it. A second termination signal while the first is being handled ends the
 * program at once, so a close that hangs cannot keep it alive. One object at a time; the
 * destructor restores the default handlers.
 * Thread affinity: main thread.
 */
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    /// False when the handlers could not be installed (the defaults stay).
    bool active() const noexcept { return notifier_ != nullptr; }

signals:
    /// A termination signal arrived (@p number: SIGTERM, SIGINT or SIGHUP).
    void received(int number);

private:
    void readPending();

    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ombrix
