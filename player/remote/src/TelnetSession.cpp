#include "ombrix/remote/TelnetSession.h"

#include <QCryptographicHash>
#include <utility>

#include "ombrix/remote/TelnetInterpreter.h"

namespace ombrix {
namespace {

constexpr char kEol[] = "\n\r";

// OMBRIX in block capitals, each letter drawn with itself.
constexpr const char* kBanner[] = {
    " OO  M   M BBB  RRR  III X  X",
    "O  O MM MM BBB  R  R  I   XX",
    "O  O M M M B  B RRR   I   XX",
    " OO  M   M BBB  R  R III X  X",
};

}  // namespace

TelnetSession::TelnetSession(Command command, Send send, Options options)
    : command_(std::move(command)),
      send_(std::move(send)),
      password_(std::move(options.password)),
      hasRoom_(std::move(options.hasRoom)),
      mayRun_(std::move(options.mayRun)),
      authenticated_(password_.isEmpty()) {
    line_.reserve(kMaxLine);
}

QByteArray TelnetSession::greeting(bool askPassword) {
    QByteArray g = QByteArrayLiteral("welcome to ombrix player server");
    g += kEol;
    g += kEol;
    g += "type HELP for help";
    g += kEol;
    g += kEol;
    for (const char* line : kBanner) {
        g += line;
        g += kEol;
    }
    g += kEol;
    g += askPassword ? kPasswordPrompt.toLatin1() : QByteArrayLiteral("> ");
    return g;
}

bool TelnetSession::receive(QByteArrayView data) {
    if (ended_) return false;
    send_(data);
    input_.remove(0, inputPos_);
    inputPos_ = 0;
    input_.append(data);
    return resume();
}

bool TelnetSession::resume() {
    if (ended_) return false;
    while (inputPos_ < input_.size()) {
        const char c = input_.at(inputPos_);
        if (c == '\r') {
            // The line waits, CR and all, until the output before it has gone.
            if (hasRoom_ && !hasRoom_()) return true;
            ++inputPos_;
            completeLine();
            if (ended_) return false;
            continue;
        }
        ++inputPos_;
        if (c == '\n') continue;
        if (line_.size() < kMaxLine)
            line_ += c;
        else
            overlong_ = true;
    }
    input_.clear();
    inputPos_ = 0;
    return true;
}

bool TelnetSession::sameSecret(QByteArrayView a, QByteArrayView b) {
    // Digests have one length, so the loop below takes the same time for any two secrets.
    const QByteArray da = QCryptographicHash::hash(a, QCryptographicHash::Sha256);
    const QByteArray db = QCryptographicHash::hash(b, QCryptographicHash::Sha256);
    unsigned char diff = 0;
    for (qsizetype i = 0; i < da.size(); ++i)
        diff |= static_cast<unsigned char>(da.at(i) ^ db.at(i));
    return diff == 0;
}

void TelnetSession::checkPassword() {
    const bool right =
        !overlong_ && sameSecret(TelnetInterpreter::normalize(line_).toUtf8(), password_);
    line_.clear();
    overlong_ = false;
    if (right) {
        authenticated_ = true;
        send_(QByteArrayLiteral("ok") + kEol + kEol + "> ");
        return;
    }
    if (++failures_ >= kMaxPasswordFailures) {
        send_(kWrongPassword.toLatin1() + kEol);
        ended_ = true;
        return;
    }
    send_(kWrongPassword.toLatin1() + kEol + kEol + kPasswordPrompt.toLatin1());
}

void TelnetSession::completeLine() {
    ++lines_;
    if (!authenticated_) {
        checkPassword();
        return;
    }
    QString reply;
    if (overlong_) {
        reply = QStringLiteral("unrecognized command");
    } else {
        const QString line = TelnetInterpreter::normalize(line_);
        const QString lower = line.toLower();
        if (lower == QLatin1String("hi")) {
            reply = QStringLiteral("hello!");
        } else if (lower == QLatin1String("hello")) {
            reply = QStringLiteral("how are you?");
        } else if (lower == QLatin1String("bye") || lower == QLatin1String("quit")) {
            send_(QByteArrayLiteral("see you!") + kEol);
            ended_ = true;
            return;
        } else if (mayRun_ && !mayRun_()) {
            reply = kTooFast;
        } else {
            reply = command_ ? command_(line) : QString();
        }
    }
    line_.clear();
    overlong_ = false;
    send_(reply.toUtf8() + kEol + kEol + "> ");
}

}  // namespace ombrix
