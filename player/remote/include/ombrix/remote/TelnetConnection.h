#pragma once

#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <mutex>

namespace ombrix {

/**
 * @brief One remote-control session: a thread that owns the accepted connection, echoes,
 *        builds lines (TelnetSession) and hands every command line to the main thread with a
 *        blocking queued call, waiting for the reply.
 *
 * Memory stays bounded whatever the client does: at most TelnetSession::kMaxLine bytes of line
 * and a read buffer of the same size are held, and while more than kMaxUnsent bytes wait to be
 * sent nothing more is read (the client's own sending then stalls), so a client that never
 * reads costs at most one reply beyond that limit.
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
    /// Runs a command line on the main thread and returns its reply.
    using Command = std::function<QString(const QString& line)>;

    /// @param handle the accepted connection; the thread takes it over (and closes it)
    /// @param peakBuffer raised to the most bytes this session held; must outlive the thread
    TelnetConnection(qintptr handle, quint64 id, Command command, std::atomic<qint64>& peakBuffer);
    ~TelnetConnection() override;

    quint64 id() const noexcept { return id_; }

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
    Command command_;
    std::atomic<qint64>& peak_;
    std::atomic<bool> quit_{false};
    std::atomic<bool> done_{false};
    std::mutex mutex_;  // guards pending_ and reply_, the hand-over to the main thread
    QString pending_;
    QString reply_;
};

}  // namespace ombrix
