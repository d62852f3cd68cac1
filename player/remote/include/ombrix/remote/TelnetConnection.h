#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <mutex>

#include "ombrix/remote/TelnetLimits.h"

namespace ombrix {

/**
 * @brief One remote-control session: a thread that owns the accepted connection, echoes,
 *        builds lines (TelnetSession) and hands every command line to the main thread with a
 *        blocking queued call, waiting for the reply.
 *
 * Memory stays bounded whatever the client does: at most TelnetSession::kMaxLine bytes of line,
 * of received bytes not yet answered and of Qt's read buffer are held, and while more than
 * kMaxUnsent bytes wait to be sent no further line is answered and nothing more is read (the
 * client's own sending then stalls), so a client that never reads costs at most one reply
 * beyond that limit. Such a client is dropped once its output has not moved for
 * TelnetLimits::sendTimeout; a session without a line for TelnetLimits::idleTimeout is closed;
 * commands beyond the session's token bucket are answered "too many commands".
 *
 * The object belongs to the main thread (it is created, started and finished there); run() is
 * the session's thread. The owner joins it with finish() (the destructor does too); it is never
 * detached. Does not throw.
 */
class TelnetConnection final : public QThread {
    Q_OBJECT
public:
    /// Stop reading while this many bytes are waiting to be sent.
    static constexpr qint64 kMaxUnsent = 256 * 1024;
    /// Sent to a session closed for being idle.
    static inline const QString kIdleFarewell = QStringLiteral("session timed out");
    /// Runs a command line on the main thread and returns its reply.
    using Command = std::function<QString(const QString& line)>;

    /// @param handle the accepted connection; the thread takes it over (and closes it)
    /// @param peakBuffer raised to the most bytes this session held; must outlive the thread
    /// @param peer the client's address
    /// @param password asked for before any command; empty: none
    TelnetConnection(qintptr handle, quint64 id, QHostAddress peer, Command command,
                     const TelnetLimits& limits, QByteArray password,
                     std::atomic<qint64>& peakBuffer);
    ~TelnetConnection() override;

    quint64 id() const noexcept { return id_; }
    const QHostAddress& peer() const noexcept { return peer_; }

    /// Any thread: the session ends soon; a command it is waiting on is answered empty.
    void requestQuit();

    /**
     * @brief Main thread: ends the session and joins its thread. Calls the thread is blocked
     *        on are delivered (and answered empty) meanwhile, so this never deadlocks.
     */
    void finish();

protected:
    void run() override;

private:
    Q_INVOKABLE void runPendingCommand();
    QString runOnMainThread(const QString& line);
    void notePeak(qint64 bytes);

    const qintptr handle_;
    const quint64 id_;
    const QHostAddress peer_;
    Command command_;
    const TelnetLimits limits_;
    const QByteArray password_;
    std::atomic<qint64>& peak_;
    std::atomic<bool> quit_{false};
    std::atomic<bool> done_{false};
    std::mutex mutex_;  // guards pending_ and reply_, the hand-over to the main thread
    QString pending_;
    QString reply_;
};

}  // namespace ombrix
