#pragma once

#include <QByteArray>
#include <functional>

namespace ombrix::test {

/**
 * A blocking telnet client over plain POSIX sockets, for client threads of the tests. Reads
 * give up after 30 s so that a broken server fails a test instead of hanging it.
 */
class TelnetClient {
public:
    /// Connects to 127.0.0.1:@p port, from the local address @p from when given.
    explicit TelnetClient(quint16 port, const char* from = nullptr);
    ~TelnetClient();
    TelnetClient(const TelnetClient&) = delete;
    TelnetClient& operator=(const TelnetClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    /// Sends all of @p bytes; false when the connection failed.
    bool send(const QByteArray& bytes);
    /// Reads until @p text has arrived; returns what was read up to and including it, or
    /// everything that came before the end of the connection (without @p text).
    QByteArray readUntil(const QByteArray& text);
    /// Reads up to the next prompt ("> ").
    QByteArray readPrompt() { return readUntil("> "); }
    /// Sends @p line with CR and returns the reply up to the prompt, without the echo.
    QByteArray command(const QByteArray& line);
    /// Reads until the server closes the connection; returns what came.
    QByteArray readToEnd();
    /// Bytes received so far.
    qint64 received() const { return received_; }

private:
    int readSome();

    int fd_ = -1;
    QByteArray buffer_;
    qint64 received_ = 0;
};

/**
 * Runs @p clients (each on a thread of its own) while this thread runs the Qt event loop, as
 * the player's main thread does; returns when all have finished.
 */
void runClients(int clients, const std::function<void(int index)>& body);

}  // namespace ombrix::test
