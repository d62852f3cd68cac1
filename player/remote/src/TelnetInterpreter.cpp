#include "ombrix/remote/TelnetInterpreter.h"

#include <QStringDecoder>
#include <algorithm>
#include <climits>

namespace ombrix {
namespace {

using Kind = TelnetAction::Kind;
using Words = QStringList;

TelnetResult reply(const QString& text, Kind kind = Kind::None, int number = 0) {
    return {text, {kind, number, {}}};
}

TelnetResult syntaxError() {
    return reply(TelnetInterpreter::kSyntaxError);
}

TelnetResult help(const Words&, const TelnetView&) {
    return reply(TelnetInterpreter::helpText());
}

TelnetResult shutdown(const Words&, const TelnetView& v) {
    if (!v.allowShutdown) return reply(QStringLiteral("permission denied"));
    return reply(QString(), Kind::Shutdown);
}

TelnetResult volume(const Words& w, const TelnetView& v) {
    const QString prefix = QStringLiteral("volume = ");
    if (w.size() == 1) return reply(prefix + QString::number(v.volume));
    int n = 0;
    if (!TelnetInterpreter::parseDecimal(w.at(1), n)) return syntaxError();
    n = std::clamp(n, 0, 127);
    return reply(prefix + QString::number(n), Kind::SetVolume, n);
}

TelnetResult version(const Words&, const TelnetView& v) {
    return reply(v.version);
}

TelnetResult info(const Words&, const TelnetView& v) {
    QString text = TelnetInterpreter::printable(v.line1) + QStringLiteral(" / ") +
                   TelnetInterpreter::printable(v.line2);
    if (!v.playing) text += QStringLiteral(" (stopped)");
    return reply(text);
}

TelnetResult play(const Words& w, const TelnetView& v) {
    if (w.size() == 1) return reply(QStringLiteral("okay"), Kind::Play);
    int n = 0;
    if (!TelnetInterpreter::parseDecimal(w.at(1), n)) return syntaxError();
    // Only an existing entry is played: the controller would wrap other numbers round.
    if (n < 1 || n > v.entryCount) return reply(TelnetInterpreter::playEntryReply(false));
    return reply(QString(), Kind::PlayEntry, n - 1);
}

TelnetResult stop(const Words&, const TelnetView&) {
    return reply(QStringLiteral("okay"), Kind::Stop);
}

TelnetResult next(const Words&, const TelnetView&) {
    return reply(QStringLiteral("okay"), Kind::Next);
}

TelnetResult prev(const Words&, const TelnetView&) {
    return reply(QStringLiteral("okay"), Kind::Prev);
}

TelnetResult list(const Words&, const TelnetView& v) {
    if (v.entryCount <= 0) return reply(QStringLiteral("no songs in playlist"));
    QString text;
    for (int i = 0; i < v.entryCount; ++i)
        text += QString::number(i + 1) + QStringLiteral(": ") +
                TelnetInterpreter::printable(v.listingText ? v.listingText(i) : QString()) +
                TelnetInterpreter::kEol;
    return reply(text);
}

TelnetResult load(const Words& w, const TelnetView& v) {
    if (v.telnetpath.isEmpty() || w.size() != 2) return syntaxError();
    const QString path = v.findFile ? v.findFile(v.telnetpath, w.at(1)) : QString();
    if (path.isEmpty()) return reply(QStringLiteral("file not found"));
    TelnetResult r = reply(QStringLiteral("ok"), Kind::Load);
    r.action.path = path;
    return r;
}

TelnetResult dir(const Words&, const TelnetView& v) {
    if (v.telnetpath.isEmpty())
        return reply(QStringLiteral("please specify local directory in the config window."));
    const TelnetFolderListing listing =
        v.listFolder ? v.listFolder(v.telnetpath) : TelnetFolderListing{};
    switch (listing.status) {
        case TelnetFolderListing::Status::NotFound:
            return reply(QStringLiteral("directory not found"));
        case TelnetFolderListing::Status::Unreadable:
            return reply(QStringLiteral("directory cannot be read"));
        case TelnetFolderListing::Status::Ok:
            break;
    }
    QStringList lines;
    lines.reserve(qsizetype(listing.entries.size()));
    for (const TelnetFolderEntry& e : listing.entries) {
        const QString name = TelnetInterpreter::printable(e.name);
        lines.append(e.plainDirectory ? QLatin1Char('<') + name + QLatin1Char('>') : name);
    }
    return reply(lines.join(TelnetInterpreter::kEol));
}

struct Command {
    const char* name;
    TelnetResult (*run)(const Words&, const TelnetView&);
};

constexpr Command kCommands[] = {
    {"help", help}, {"shutdown", shutdown}, {"volume", volume}, {"version", version},
    {"info", info}, {"play", play},         {"stop", stop},     {"next", next},
    {"prev", prev}, {"list", list},         {"load", load},     {"dir", dir},
};

bool isBlankOrControl(QChar c) {
    return c.unicode() <= 0x20 || c.unicode() == 0x7f;
}

}  // namespace

TelnetResult TelnetInterpreter::parseCommand(const QString& line, const TelnetView& view) {
    const Words words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty()) return reply(QStringLiteral("unrecognized command"));
    const QString name = words.first().toLower();
    for (const Command& c : kCommands)
        if (name == QLatin1String(c.name)) return c.run(words, view);
    return syntaxError();
}

QString TelnetInterpreter::playEntryReply(bool playing) {
    return playing ? QStringLiteral("okay") : QStringLiteral("nope");
}

QString TelnetInterpreter::helpText() {
    static const QStringList lines{
        QStringLiteral("list: displays the current playlist"),
        QStringLiteral("bye or quit: quit the current session"),
        QStringLiteral("info: display song information"),
        QStringLiteral("load: load supported file or playlist"),
        QStringLiteral("play: start player"),
        QStringLiteral("play N: play the Nth song"),
        QStringLiteral("stop: stop player"),
        QStringLiteral("next: play next song"),
        QStringLiteral("prev: play previous song"),
        QStringLiteral("volume: display current volume"),
        QStringLiteral("version: return current version string"),
        QStringLiteral("shutdown: shutdown the player"),
    };
    return lines.join(kEol);
}

QString TelnetInterpreter::normalize(const QByteArray& line) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(line);
    if (utf8.hasError()) text = QString::fromLatin1(line);
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlankOrControl(text.at(begin))) ++begin;
    while (end > begin && isBlankOrControl(text.at(end - 1))) --end;
    return text.mid(begin, end - begin);
}

QString TelnetInterpreter::printable(QString text) {
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f)) c = QLatin1Char('?');
    }
    return text;
}

bool TelnetInterpreter::parseDecimal(const QString& text, int& value) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        negative = text.at(i++) == QLatin1Char('-');
    if (i == text.size()) return false;
    qint64 n = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
        n = std::min<qint64>(n * 10 + (c.unicode() - '0'), qint64(INT_MAX) + 1);
    }
    if (negative) n = -n;
    value = int(std::clamp<qint64>(n, INT_MIN, INT_MAX));
    return true;
}

}  // namespace ombrix
