#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "ombrix/remote/TelnetLimits.h"

class QTcpServer;

namespace ombrix {

class TelnetConnection;

/**
 * @brief The remote-control server: listens for connections and gives each one a session of
 *        its own (TelnetConnection); runs the sessions' command lines on the main thread.
 *
 * At most maxSessions() sessions run at once, and at most maxSessionsPerPeer() from one client
 * address; a further connection gets kRefusal and is closed. Sessions follow limits() and ask
 * for the password when one is set. Stopping ends and joins every session, also those waiting
 * on a command.
 * Thread affinity: main thread (the command function is called there). Does not throw.
 */
class TelnetServer final : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kPort = 30303;
    static constexpr int kMaxSessions = 64;
    static constexpr int kMaxSessionsPerPeer = 8;
    static inline const QString kRefusal = QStringLiteral("too many sessions, try again later");
    /// Runs one trimmed command line and returns its reply (without the final line end).
    using Command = std::function<QString(const QString& line)>;

    explicit TelnetServer(Command command, QObject* parent = nullptr);
    ~TelnetServer() override;

    /// Listens on @p address and @p port (0: any free port). False, with errorString(), when
    /// the socket cannot listen. Does nothing while running.
    bool start(const QHostAddress& address, quint16 port);
    /// Ends every session (joining its thread) and stops listening.
    void stop();

    bool isRunning() const noexcept { return running_; }
    /// The port actually listened on (0 while not running).
    quint16 port() const;
    /// The address listened on (null while not running).
    QHostAddress address() const;
    QString errorString() const { return error_; }
    int sessionCount() const noexcept { return static_cast<int>(sessions_.size()); }
    int maxSessions() const noexcept { return maxSessions_; }
    void setMaxSessions(int n) noexcept { maxSessions_ = n; }
    int maxSessionsPerPeer() const noexcept { return maxPerPeer_; }
    void setMaxSessionsPerPeer(int n) noexcept { maxPerPeer_ = n; }
    /// For sessions that begin from now on.
    const TelnetLimits& limits() const noexcept { return limits_; }
    void setLimits(const TelnetLimits& limits) noexcept { limits_ = limits; }
    /// Asked for by sessions that begin from now on; empty: none.
    void setPassword(const QByteArray& password) { password_ = password; }
    /// The most bytes any session has held at once (line, read buffer and unsent output).
    qint64 largestSessionBuffer() const noexcept { return peakBuffer_.load(); }

signals:
    /// A session ended by itself (the client left, "bye") and was joined.
    void sessionEnded();

private:
    class Listener;
    void accept(qintptr handle);
    void refuse(qintptr handle);
    void remove(quint64 id);
    QString runCommand(const QString& line);

    Command command_;
    std::unique_ptr<Listener> listener_;
    std::vector<std::unique_ptr<TelnetConnection>> sessions_;
    std::atomic<qint64> peakBuffer_{0};
    quint64 nextId_ = 1;
    int maxSessions_ = kMaxSessions;
    int maxPerPeer_ = kMaxSessionsPerPeer;
    TelnetLimits limits_;
    QByteArray password_;
    bool running_ = false;
    bool stopping_ = false;
    QString error_;
};

}  // namespace ombrix
