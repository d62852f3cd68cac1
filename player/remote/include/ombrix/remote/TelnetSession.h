#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

namespace ombrix {

/**
 * @brief The byte level of one remote-control session, without the socket: echoes what
 *        arrives, asks for the password when there is one, builds lines ended by CR (LF is
 *        ignored), answers "hi", "hello", "bye" and "quit" itself and hands every other line to
 *        the command function.
 *
 * A line longer than kMaxLine bytes is dropped as it arrives and answered "unrecognized
 * command" once its CR comes, so a session holds at most kMaxLine bytes of line whatever the
 * client sends. Received bytes are kept until their lines have been answered: before each line
 * the session asks hasRoom(), and when there is no room it stops and keeps the rest for
 * resume(). So at most kMaxLine bytes of input wait, and one line's reply is all that is sent
 * beyond the caller's limit.
 * Thread affinity: one thread at a time (the session's thread). Does not throw itself.
 */
class TelnetSession {
public:
    static constexpr qsizetype kMaxLine = 4096;
    /// Wrong passwords before the session is closed.
    static constexpr int kMaxPasswordFailures = 3;
    static inline const QString kPasswordPrompt = QStringLiteral("password: ");
    static inline const QString kWrongPassword = QStringLiteral("wrong password");
    static inline const QString kTooFast = QStringLiteral("too many commands, slow down");
    /// Runs one trimmed command line and returns its reply (without the final line end).
    using Command = std::function<QString(const QString& line)>;
    /// Sends bytes to the client.
    using Send = std::function<void(QByteArrayView bytes)>;

    struct Options {
        /// Asked for before any command; empty: none.
        QByteArray password;
        /// False while the next line must wait (too much output is waiting to be sent).
        std::function<bool()> hasRoom;
        /// Called for each command line before it runs; false: it is answered kTooFast.
        std::function<bool()> mayRun;
    };

    TelnetSession(Command command, Send send, Options options = {});

    /// The greeting sent when a session begins, ending in the prompt (or the password prompt).
    static QByteArray greeting(bool askPassword = false);
    QByteArray greetingForThisSession() const { return greeting(!password_.isEmpty()); }

    /**
     * @brief Takes @p data as received: sends it back at once (before any command runs), then
     *        the reply and prompt of every line it completes while hasRoom() allows.
     *        Call only when hasInput() is false.
     * @return false once the session has ended (after "bye", "quit" or the last wrong password);
     *         later data is ignored.
     */
    bool receive(QByteArrayView data);
    /// Goes on with the input kept back when there was no room; same result as receive().
    bool resume();

    bool ended() const noexcept { return ended_; }
    /// Received bytes not yet looked at.
    bool hasInput() const noexcept { return inputPos_ < input_.size(); }
    qsizetype pendingInput() const noexcept { return input_.size() - inputPos_; }
    /// Bytes of the line being built (at most kMaxLine).
    qsizetype pendingLine() const noexcept { return line_.size(); }
    /// Lines completed so far.
    quint64 lines() const noexcept { return lines_; }
    bool authenticated() const noexcept { return authenticated_; }

    /// Compares two secrets in a time that depends on neither's content nor length.
    static bool sameSecret(QByteArrayView a, QByteArrayView b);

private:
    void completeLine();
    void checkPassword();

    Command command_;
    Send send_;
    QByteArray password_;
    std::function<bool()> hasRoom_;
    std::function<bool()> mayRun_;
    QByteArray input_;
    qsizetype inputPos_ = 0;
    QByteArray line_;
    quint64 lines_ = 0;
    int failures_ = 0;
    bool authenticated_ = true;
    bool overlong_ = false;
    bool ended_ = false;
};

}  // namespace ombrix
