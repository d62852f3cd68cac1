#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

namespace ombrix {

/**
 * @brief The byte level of one remote-control session, without the socket: echoes what
 *        arrives, builds lines ended by CR (LF is ignored), answers "hi", "hello", "bye" and
 *        "quit" itself and hands every other line to the command function.
 *
 * A line longer than kMaxLine bytes is dropped as it arrives and answered "unrecognized
 * command" once its CR comes, so a session holds at most kMaxLine bytes of line whatever the
 * client sends.
 * Thread affinity: one thread at a time (the session's thread). Does not throw itself.
 */
class TelnetSession {
public:
    static constexpr qsizetype kMaxLine = 4096;
    /// Runs one trimmed command line and returns its reply (without the final line end).
    using Command = std::function<QString(const QString& line)>;
    /// Sends bytes to the client.
    using Send = std::function<void(QByteArrayView bytes)>;

    TelnetSession(Command command, Send send);

    /// The greeting sent when a session begins, ending in the prompt.
    static QByteArray greeting();

    /**
     * @brief Takes @p data as received: sends it back at once (before any command runs), then
     *        the reply and prompt of every line it completes.
     * @return false once the session has ended (after "bye" or "quit"); later data is ignored.
     */
    bool receive(QByteArrayView data);

    bool ended() const noexcept { return ended_; }
    /// Bytes of the line being built (at most kMaxLine).
    qsizetype pendingLine() const noexcept { return line_.size(); }

private:
    void completeLine();

    Command command_;
    Send send_;
    QByteArray line_;
    bool overlong_ = false;
    bool ended_ = false;
};

}  // namespace ombrix
