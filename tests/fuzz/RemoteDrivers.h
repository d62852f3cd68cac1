#pragma once

// The remote-control session fed bytes as a peer would send them, with the real command
// interpreter behind it and the real folder lookups in a scratch folder. Shared by the fuzz
// target and remote_tests.

#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <optional>

#include "FuzzSupport.h"
#include "ombrix/remote/TelnetFolder.h"
#include "ombrix/remote/TelnetInterpreter.h"
#include "ombrix/remote/TelnetSession.h"

namespace ombrix::fuzz {

/// The remote folder: a song, a sub-folder, a name with terminal escapes, and a link that
/// leads out of the folder to a file beside it.
class RemoteFolder {
public:
    RemoteFolder() : scratch_("remote") {
        QDir(scratch_.path()).mkpath(QStringLiteral("music/Sub"));
        writeBytes(music(QStringLiteral("Song.mp3")), "x", 1);
        writeBytes(music(QStringLiteral("tag\x1b[2J\x07.mp3")), "x", 1);
        writeBytes(outside(), "secret", 6);
        QFile::link(outside(), music(QStringLiteral("out.mp3")));
    }
    QString folder() const { return scratch_.file(QStringLiteral("music")); }
    QString music(const QString& name) const { return folder() + QLatin1Char('/') + name; }
    QString outside() const { return scratch_.file(QStringLiteral("secret.mp3")); }

private:
    ScratchFolder scratch_;
};

/// Bytes the server sends after the echo: every control character is part of a line end, so
/// nothing a file name or a tag holds reaches the peer's terminal as a command.
inline bool onlyLineEndControls(QByteArrayView bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError()) return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\n' && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\r')) {
            ++i;
            continue;
        }
        if (c < 0x20 || (c >= 0x7f && c <= 0x9f)) return false;
    }
    return true;
}

/**
 * @brief First byte: bit 0 asks for the password "pw", bit 1 makes every third room check fail
 *        (output waiting), bit 2 puts a line longer than the limit in front; the upper
 *        four bits give the size of each piece that arrives (0: all at once). The rest are the
 *        bytes the peer sends.
 */
inline void telnetDriver(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    const std::uint8_t flags = data[0];
    QByteArray input = bytesOf(data + 1, size - 1);
    // An over-long line: the first byte repeated past the limit, in front of the rest.
    if ((flags & 4) && !input.isEmpty())
        input.prepend(QByteArray(TelnetSession::kMaxLine + (flags >> 4), input.at(0)));
    const qsizetype piece = (flags >> 4) == 0 ? input.size() : qsizetype(flags >> 4);

    // Made when a command first looks at it, kept for the process (no command changes it).
    static std::optional<RemoteFolder> folder;
    auto remote = []() -> const RemoteFolder& {
        if (!folder) folder.emplace();
        return *folder;
    };
    TelnetView view;
    view.volume = 64;
    view.version = QStringLiteral("Ombrix Player");
    view.line1 = QStringLiteral("Title\x1b[31m");
    view.line2 = QStringLiteral("Artist\r\nfake prompt> ");
    view.playing = true;
    view.entryCount = 3;
    view.listingText = [](int i) {
        require(i >= 0 && i < 3);
        return QStringList{QStringLiteral("a.mp3"), QStringLiteral("b\x1b[2J"),
                           QString(QChar(0x85))}
            .at(i);
    };
    view.telnetpath = QStringLiteral("/tmp/ombrix-fuzz-%1-remote/music").arg(::getpid());
    view.findFile = [&](const QString& f, const QString& name) {
        remote();
        return TelnetFolder::findFile(f, name);
    };
    view.listFolder = [&](const QString& f) {
        remote();
        return TelnetFolder::list(f);
    };
    view.allowShutdown = flags & 8;

    TelnetSession* session = nullptr;
    bool echo = false;
    QByteArrayView expectedEcho;
    auto command = [&](const QString& line) {
        require(session->authenticated());
        require(line.size() <= TelnetSession::kMaxLine);
        const TelnetResult r = TelnetInterpreter::parseCommand(line, view);
        switch (r.action.kind) {
            case TelnetAction::Kind::SetVolume:
                require(r.action.number >= 0 && r.action.number <= 127);
                break;
            case TelnetAction::Kind::PlayEntry:
                require(r.action.number >= 0 && r.action.number < view.entryCount);
                return TelnetInterpreter::playEntryReply(true);
            case TelnetAction::Kind::Load: {
                const QFileInfo file(r.action.path);
                require(file.isFile());
                require(file.absolutePath() == QFileInfo(remote().folder()).canonicalFilePath());
                require(file.canonicalFilePath() != QFileInfo(remote().outside()).canonicalFilePath());
                break;
            }
            case TelnetAction::Kind::Shutdown:
                require(view.allowShutdown);
                break;
            default:
                break;
        }
        return r.reply;
    };
    bool ended = false;
    auto send = [&](QByteArrayView bytes) {
        require(!ended);
        if (echo) {
            require(bytes == expectedEcho);
            echo = false;
            return;
        }
        require(onlyLineEndControls(bytes));
    };
    int roomChecks = 0;
    TelnetSession::Options options;
    if (flags & 1) options.password = "pw";
    options.hasRoom = [&] { return !(flags & 2) || ++roomChecks % 3 != 0; };
    TelnetSession s(command, send, options);
    session = &s;

    for (qsizetype at = 0; at < input.size() && !ended; at += piece) {
        while (s.hasInput() && !ended) {
            ended = !s.resume();
            require(s.pendingLine() <= TelnetSession::kMaxLine);
        }
        if (ended) break;
        expectedEcho = QByteArrayView(input).sliced(at, std::min(piece, input.size() - at));
        echo = true;
        ended = !s.receive(expectedEcho);
        require(!echo);
        require(s.pendingLine() <= TelnetSession::kMaxLine);
    }
    while (s.hasInput() && !ended) ended = !s.resume();
    require(ended == s.ended());
    if (ended) require(!s.receive("help\r"));
}

}  // namespace ombrix::fuzz
