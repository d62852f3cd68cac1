#include "ombrix/desktop/SingleInstance.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QLockFile>
#include <QStringDecoder>
#include <QTimer>

#include "ombrix/settings/Home.h"
#include "ombrix/settings/PrivateFolder.h"

namespace ombrix {
namespace {

constexpr char kAck = '\x01';
constexpr int kConnectTimeoutMs = 1000;
constexpr int kLockTimeoutMs = 5000;

}  // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), name_(std::move(serverName)), trustedUid_(::getuid()) {}

SingleInstance::~SingleInstance() {
    // Closing the sockets must not call back into a half-destroyed object.
    for (auto it = pending_.cbegin(); it != pending_.cend(); ++it) it.key()->disconnect(this);
    pending_.clear();
    server_.reset();
}

QString SingleInstance::serverPath(const QProcessEnvironment& env, const QString& group) {
    const QString name = group.isEmpty() ? QString::fromLatin1(kSocketName) : group;
    if (QDir::isAbsolutePath(name)) return name;
    try {
        return QDir(Home::tempFolder(env)).filePath(name);
    } catch (const PrivateFolderError&) {
        return {};
    }
}

bool SingleInstance::peerIsTrusted(const QLocalSocket& socket) const {
    ucred peer{};
    socklen_t size = sizeof peer;
    const auto fd = static_cast<int>(socket.socketDescriptor());
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return false;
    return peer.uid == trustedUid_;
}

bool SingleInstance::otherInstanceRunning() {
    QLocalSocket socket;
    if (name_.isEmpty()) return false;
    socket.connectToServer(name_);
    const bool answered = socket.waitForConnected(kConnectTimeoutMs) && peerIsTrusted(socket);
    socket.abort();
    return answered;
}

bool SingleInstance::sendToRunning(const QByteArray& block, int timeoutMs) {
    if (block.size() != kBlockSize || name_.isEmpty()) return false;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) return false;
    if (!peerIsTrusted(socket)) return false;
    socket.write(block);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) return false;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) return false;
    char ack = 0;
    return socket.getChar(&ack) && ack == kAck;
}

QString SingleInstance::lockFilePath() const {
    // A relative name is a socket in the temporary folder, an absolute one is the socket's path.
    const QString socketPath =
        QDir::isAbsolutePath(name_) ? name_ : QDir(QDir::tempPath()).filePath(name_);
    return socketPath + QStringLiteral(".lock");
}

bool SingleInstance::listen() {
    if (isListening()) return true;
    if (name_.isEmpty()) return false;
    QLockFile lock(lockFilePath());
    if (!lock.tryLock(kLockTimeoutMs)) return false;
    if (otherInstanceRunning()) return false;
    // Nobody answers: whatever is left under the name is stale.
    QLocalServer::removeServer(name_);
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    server->setMaxPendingConnections(kMaxConnections);
    if (!server->listen(name_)) return false;
    connect(server.get(), &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    server_ = std::move(server);
    return true;
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        if (pending_.size() >= kMaxConnections || !peerIsTrusted(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        pending_.insert(socket, Pending{});
        // Qt never buffers more than one byte beyond a block for us.
        socket->setReadBufferSize(kBlockSize + 1);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { drop(socket); });
        QTimer::singleShot(receiveTimeoutMs_, socket, [this, socket] { drop(socket); });
        if (socket->bytesAvailable() > 0) onReadyRead(socket);
    }
}

void SingleInstance::onReadyRead(QLocalSocket* socket) {
    const auto it = pending_.find(socket);
    if (it == pending_.end()) return;
    if (it->done) {
        socket->skip(socket->bytesAvailable());
        return;
    }
    it->data += socket->read(kBlockSize + 1 - it->data.size());
    if (it->data.size() > kBlockSize ||
        (it->data.size() == kBlockSize && socket->bytesAvailable())) {
        drop(socket);  // more than one block: not one of ours
        return;
    }
    if (it->data.size() < kBlockSize) return;

    it->done = true;
    const QString text = blockText(it->data);
    socket->putChar(kAck);
    socket->disconnectFromServer();  // may drop the socket at once
    emit messageReceived(text);
}

void SingleInstance::drop(QLocalSocket* socket) {
    if (!pending_.remove(socket)) return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

QString SingleInstance::blockText(const QByteArray& block) {
    const qsizetype zero = block.indexOf('\0');
    const QByteArray bytes = zero < 0 ? block : block.left(zero);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

}  // namespace ombrix
