#include "TelnetClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <thread>
#include <vector>

namespace ombrix::test {

TelnetClient::TelnetClient(quint16 port, const char* from) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd_ < 0) return;
    timeval tv{30, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    if (from) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &local.sin_addr);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

TelnetClient::~TelnetClient() {
    if (fd_ >= 0) ::close(fd_);
}

bool TelnetClient::send(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(fd_, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

int TelnetClient::readSome() {
    char chunk[65536];
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n > 0) {
        buffer_.append(chunk, n);
        received_ += n;
    }
    return int(n);
}

QByteArray TelnetClient::readUntil(const QByteArray& text) {
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = buffer_.indexOf(text, from);
        if (at >= 0) {
            const QByteArray out = buffer_.left(at + text.size());
            buffer_.remove(0, at + text.size());
            return out;
        }
        from = std::max<qsizetype>(0, buffer_.size() - text.size());
        if (readSome() <= 0) return std::exchange(buffer_, QByteArray());
    }
}

QByteArray TelnetClient::command(const QByteArray& line) {
    if (!send(line + "\r")) return {};
    const QByteArray echo = readUntil(line + "\r");
    if (!echo.endsWith(line + "\r")) return {};
    return readPrompt();
}

QByteArray TelnetClient::readToEnd() {
    while (readSome() > 0) {
    }
    return std::exchange(buffer_, QByteArray());
}

void runClients(int clients, const std::function<void(int index)>& body) {
    std::atomic<int> running{clients};
    std::vector<std::thread> threads;
    threads.reserve(size_t(clients));
    for (int i = 0; i < clients; ++i)
        threads.emplace_back([&, i] {
            body(i);
            running.fetch_sub(1);
        });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (running.load() == 0) loop.quit();
    });
    poll.start(2);
    loop.exec();
    for (auto& t : threads) t.join();
}

}  // namespace ombrix::test
