#include "ombrix/remote/TelnetServer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <utility>

#include "ombrix/remote/TelnetConnection.h"
#include "ombrix/remote/TelnetInterpreter.h"

namespace ombrix {
namespace {

// The client's address; an IPv4 client of an IPv6 socket counts as its IPv4 address.
QHostAddress peerOf(qintptr handle) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (::getpeername(int(handle), reinterpret_cast<sockaddr*>(&address), &size) != 0) return {};
    QHostAddress peer(reinterpret_cast<const sockaddr*>(&address));
    bool v4 = false;
    const quint32 ip4 = peer.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip4) : peer;
}

}  // namespace

// Hands accepted handles over before Qt wraps them in a socket of the main thread.
class TelnetServer::Listener final : public QTcpServer {
public:
    explicit Listener(TelnetServer& owner) : owner_(owner) {}

protected:
    void incomingConnection(qintptr handle) override { owner_.accept(handle); }

private:
    TelnetServer& owner_;
};

TelnetServer::TelnetServer(Command command, QObject* parent)
    : QObject(parent), command_(std::move(command)), listener_(std::make_unique<Listener>(*this)) {}

TelnetServer::~TelnetServer() {
    stop();
}

bool TelnetServer::start(const QHostAddress& address, quint16 port) {
    if (running_) return true;
    error_.clear();
    if (!listener_->listen(address, port)) {
        error_ = listener_->errorString();
        return false;
    }
    running_ = true;
    return true;
}

quint16 TelnetServer::port() const {
    return running_ ? listener_->serverPort() : 0;
}

QHostAddress TelnetServer::address() const {
    return running_ ? listener_->serverAddress() : QHostAddress();
}

void TelnetServer::stop() {
    if (!running_) return;
    listener_->close();
    stopping_ = true;
    // All sessions are told first, so that they wind down side by side.
    for (const auto& s : sessions_) s->requestQuit();
    for (const auto& s : sessions_) s->finish();
    sessions_.clear();
    stopping_ = false;
    running_ = false;
}

void TelnetServer::accept(qintptr handle) {
    QHostAddress peer = peerOf(handle);
    const auto fromPeer = std::count_if(sessions_.begin(), sessions_.end(),
                                        [&](const auto& s) { return s->peer() == peer; });
    if (stopping_ || static_cast<int>(sessions_.size()) >= maxSessions_ ||
        fromPeer >= maxPerPeer_) {
        refuse(handle);
        return;
    }
    const quint64 id = nextId_++;
    auto thread = std::make_unique<TelnetConnection>(
        handle, id, std::move(peer), [this](const QString& line) { return runCommand(line); },
        limits_, password_, peakBuffer_);
    // Ids, not pointers: a queued notice may arrive after its session was freed.
    connect(
        thread.get(), &QThread::finished, this, [this, id] { remove(id); }, Qt::QueuedConnection);
    TelnetConnection* t = thread.get();
    sessions_.push_back(std::move(thread));
    t->start();
}

void TelnetServer::refuse(qintptr handle) {
    QTcpSocket socket;
    if (!socket.setSocketDescriptor(handle)) {
        ::close(int(handle));
        return;
    }
    socket.write((kRefusal + TelnetInterpreter::kEol).toUtf8());
    socket.flush();
    socket.abort();
}

void TelnetServer::remove(quint64 id) {
    const auto it = std::find_if(sessions_.begin(), sessions_.end(),
                                 [id](const auto& s) { return s->id() == id; });
    if (it == sessions_.end()) return;
    std::unique_ptr<TelnetConnection> ended = std::move(*it);
    sessions_.erase(it);
    ended->finish();
    emit sessionEnded();
}

QString TelnetServer::runCommand(const QString& line) {
    // Once stopping has begun, sessions waiting on a command are released at once.
    if (stopping_ || !command_) return {};
    return command_(line);
}

}  // namespace ombrix
