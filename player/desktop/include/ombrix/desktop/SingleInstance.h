#pragma once

#include <QByteArray>
#include <QHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <memory>

namespace ombrix {

/**
 * @brief The single-instance rule: the first instance listens on a local socket in the user's
 *        private temporary folder; a later start finds it there and hands it one 256-byte
 *        block (see InstanceMessage) instead of opening a window of its own.
 *
 * Only a peer running as this user counts (SO_PEERCRED, both ways): a socket another user made
 * under the name is "no instance", so file names never go to a stranger, and a stranger's
 * block is never taken.
 *
 * The receiving side is bounded: a connection gets receiveTimeout() to deliver exactly one
 * block, a connection that sends more than a block is closed without a message, and at most
 * kMaxConnections are served at once (more are closed at once). Each received block is
 * acknowledged with one byte, so the sender knows it arrived.
 *
 * Thread affinity: the thread that created the object; listening needs its event loop. The
 * sending calls block the calling thread for at most their time-out. Nothing throws.
 */
class SingleInstance : public QObject {
    Q_OBJECT
public:
    /// Size of the block one start hands over.
    static constexpr qsizetype kBlockSize = 256;
    /// Connections served at once (and the listen queue).
    static constexpr int kMaxConnections = 4;
    /// Default time a connection has to deliver its block.
    static constexpr int kDefaultReceiveTimeoutMs = 3000;

    /// @p serverName: the socket's path (a bare name is a socket in the system's temporary
    /// folder, as QLocalServer has it).
    explicit SingleInstance(QString serverName, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    /// File name of the socket in the private temporary folder.
    static constexpr const char* kSocketName = "instance";

    /**
     * @brief The socket of @p group (kSocketName when empty; an absolute path is used as it is)
     *        in this user's private temporary folder (Home::tempFolder).
     * @return an empty string when there is no private folder: then nothing is shared.
     */
    static QString serverPath(const QProcessEnvironment& env, const QString& group = {});

    const QString& serverName() const noexcept { return name_; }

    /// A server of this name, run by the trusted user, answers a connection (this object's own
    /// counts too).
    bool otherInstanceRunning();

    /**
     * @brief Hands @p block (exactly kBlockSize bytes) to the running instance and waits for
     *        its acknowledgement.
     * @return false when @p block has another size, nobody answers, the server runs as another
     *         user, or no acknowledgement comes within @p timeoutMs.
     */
    bool sendToRunning(const QByteArray& block, int timeoutMs = 2000);

    /**
     * @brief Becomes the first instance: listens under serverName(), reachable by this user
     *        only. A name left behind by a crashed instance is removed, but only after a
     *        connection to it failed. Start-ups racing each other are serialised by a lock file
     *        beside the socket.
     * @return false when another instance answers or the name cannot be listened on.
     */
    bool listen();

    bool isListening() const noexcept { return server_ && server_->isListening(); }

    /// The user whose instances are trusted: the process's own (tests name another).
    void setTrustedUser(uint uid) noexcept { trustedUid_ = uid; }

    /// Time a connection has to deliver its block (tests shorten it).
    void setReceiveTimeout(int ms) noexcept { receiveTimeoutMs_ = ms; }
    int receiveTimeout() const noexcept { return receiveTimeoutMs_; }

signals:
    /// One complete block arrived; @p text is its zero-terminated text (UTF-8, else Latin-1).
    void messageReceived(const QString& text);

private:
    struct Pending {
        QByteArray data;
        bool done = false;
    };

    void onNewConnection();
    void onReadyRead(QLocalSocket* socket);
    void drop(QLocalSocket* socket);
    QString lockFilePath() const;
    bool peerIsTrusted(const QLocalSocket& socket) const;
    static QString blockText(const QByteArray& block);

    QString name_;
    int receiveTimeoutMs_ = kDefaultReceiveTimeoutMs;
    uint trustedUid_;
    QHash<QLocalSocket*, Pending> pending_;  // sockets are children of server_
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace ombrix
