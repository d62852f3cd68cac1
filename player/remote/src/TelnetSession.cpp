#include "ombrix/remote/TelnetSession.h"

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

TelnetSession::TelnetSession(Command command, Send send)
    : command_(std::move(command)), send_(std::move(send)) {
    line_.reserve(kMaxLine);
}

QByteArray TelnetSession::greeting() {
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
    g += "> ";
    return g;
}

bool TelnetSession::receive(QByteArrayView data) {
    if (ended_) return false;
    send_(data);
    for (const char c : data) {
        if (c == '\n') continue;
        if (c == '\r') {
            completeLine();
            if (ended_) return false;
            continue;
        }
        if (line_.size() < kMaxLine)
            line_ += c;
        else
            overlong_ = true;
    }
    return true;
}

void TelnetSession::completeLine() {
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
        } else {
            reply = command_ ? command_(line) : QString();
        }
    }
    line_.clear();
    overlong_ = false;
    send_(reply.toUtf8() + kEol + kEol + "> ");
}

}  // namespace ombrix
