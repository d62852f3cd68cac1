#include "ombrix/remote/TelnetServer.h"

#include <unistd.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <utility>

#include "ombrix/remote/TelnetConnection.h"
#include "ombrix/remote/TelnetInterpreter.h"

namespace ombrix {

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
    if (stopping_ || static_cast<int>(sessions_.size()) >= maxSessions_) {
        refuse(handle);
        return;
    }
    const quint64 id = nextId_++;
    auto thread = std::make_unique<TelnetConnection>(
        handle, id, [this](const QString& line) { return runCommand(line); }, peakBuffer_);
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
