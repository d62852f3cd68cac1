#include "ombrix/control/CommandLine.h"

#include <QDir>
#include <QFileInfo>

namespace ombrix {
namespace {

const QLatin1String kAdd("@@add");
const QLatin1String kEdit("@@edit");
const QLatin1String kCd("@@cd");
const QLatin1String kCommand("@@");
constexpr qsizetype kAddPathStart = 6;   // "@@add "
constexpr qsizetype kEditPathStart = 7;  // "@@edit "

QString withoutLeadingBlanks(const QString& s) {
    qsizetype i = 0;
    while (i < s.size() && s[i] == QLatin1Char(' ')) ++i;
    return s.mid(i);
}

/// @p s cut to at most @p maxBytes of UTF-8 without splitting a character.
QString cutToUtf8Bytes(const QString& s, qsizetype maxBytes) {
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < s.size()) {
        const char16_t c = s[i].unicode();
        qsizetype units = 1;
        qsizetype size = c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            units = 2;
            size = 4;
        }
        if (bytes + size > maxBytes) break;
        bytes += size;
        i += units;
    }
    return s.left(i);
}

bool isCommand(const QString& arg) {
    return arg.size() > 2 && arg.startsWith(kCommand);
}

}  // namespace

QString CommandLine::longForm(const QString& name) {
    if (name.isEmpty() || name.startsWith(QLatin1String("http"))) return name;
    return QDir::cleanPath(QFileInfo(name).absoluteFilePath());
}

bool CommandLine::separateFiles(const QString& sofar, const QString& arg) {
    // The shell has split the arguments already: two names that each are a file or a folder
    // are two entries, not one name with a blank in it.
    const QString first = withoutLeadingBlanks(sofar);
    return !first.isEmpty() && QFileInfo::exists(first) && QFileInfo::exists(arg);
}

bool CommandLine::startsNewPath(const QString& arg) {
    // QDir counts ":name" (a Qt resource) as absolute; on the command line it is just text.
    return !arg.startsWith(QLatin1Char(':')) && QDir::isAbsolutePath(arg);
}

ProgramOptions CommandLine::parseProgramOptions(const QStringList& argv) {
    ProgramOptions o;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < argv.size(); ++i) {
        const QString& arg = argv[i];
        if (optionsEnded || !arg.startsWith(QLatin1String("-"))) {
            o.args << arg;
            continue;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            o.action = ProgramOptions::Action::Help;
            return o;
        }
        if (arg == QLatin1String("--version")) {
            o.action = ProgramOptions::Action::Version;
            return o;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (arg == QLatin1String("--home")) {
            if (i + 1 >= argv.size() || argv[i + 1].isEmpty()) {
                if (o.error.isEmpty()) o.error = QStringLiteral("option --home needs a folder");
            }
            ++i;  // and its folder
        } else if (arg.startsWith(QLatin1String("--home="))) {
            if (arg.size() == 7 && o.error.isEmpty())
                o.error = QStringLiteral("option --home needs a folder");
        } else if (arg.startsWith(QLatin1String("--"))) {
            if (o.error.isEmpty())
                o.error = QStringLiteral("unknown option ") + arg.section(QLatin1Char('='), 0, 0);
        } else {
            // A single dash is no option of this program ("-" or a name like "-live.mp3").
            o.args << arg;
        }
    }
    if (!o.error.isEmpty()) {
        o.action = ProgramOptions::Action::Error;
        o.args.clear();
    }
    return o;
}

QString CommandLine::usage(const QString& program) {
    return QStringLiteral(
               "Usage: %1 [--home DIR] [FILE|FOLDER|URL...]\n"
               "       %1 @@add FILE | @@edit FILE | @@stop | @@cd\n"
               "       %1 --help | --version\n"
               "\n"
               "Plays MPEG audio, WAV, FLAC, Ogg, Opus, MIDI and video files, playlists (.dmp,\n"
               ".m3u), zip archives, web addresses and the files of folders. When the player\n"
               "runs already, the first name is handed to it: played at once, or appended with\n"
               "@@add; @@edit opens the tag editor on a file and @@stop stops playback. @@cd\n"
               "reads the disc in the CD drive and plays its tracks.\n"
               "\n"
               "Options:\n"
               "  --home DIR   keep settings, playlists and panels in DIR\n"
               "               (default: $OMBRIX_HOME, else ~/.local/share/ombrix)\n"
               "  --           the names that follow are files, even when they begin with -\n"
               "  -h, --help   print this text and exit\n"
               "  --version    print the version and exit\n"
               "\n"
               "Exit status: 0 success, 1 the player could not start, 2 a wrong option.\n"
               "See ombrix(1).\n")
        .arg(program);
}

QString CommandLine::joinForRunningInstance(const QStringList& args) {
    if (args.isEmpty()) return {};
    const qsizetype granted = args[0].startsWith(kCommand) ? 2 : 1;
    QString text = args[0];
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (i >= granted &&
            (startsNewPath(args[i]) || isCommand(args[i]) || separateFiles(text, args[i])))
            break;
        text += QLatin1Char(' ') + args[i];
    }
    text = withoutLeadingBlanks(text);

    // The receiver has its own current folder: send the path in long form.
    const QString head = text.left(4);
    if (head == QLatin1String("@@st") || head == QLatin1String("@@cd"))
        return cutToUtf8Bytes(text, kMaxTextBytes);
    if (head == QLatin1String("@@ad") || head == QLatin1String("@@ed")) {
        const qsizetype start = head == QLatin1String("@@ad") ? kAddPathStart : kEditPathStart;
        // The path starts at a fixed character: a character of two UTF-16 units across that
        // place would be cut in halves that UTF-8 cannot carry. Such a text is no command.
        if (start < text.size() && text.at(start).isLowSurrogate()) return {};
        const QString path = text.mid(start);
        if (!path.isEmpty()) text = text.left(start) + longForm(path);
    } else {
        text = longForm(text);
    }
    // A shortened path would name another file: send nothing rather than the wrong song.
    if (text.toUtf8().size() > kMaxTextBytes) return {};
    return text;
}

FirstInstanceStart CommandLine::gatherFirstInstance(const QStringList& args) {
    FirstInstanceStart start;
    if (args.isEmpty()) return start;

    QString name;
    if (args[0] == kCd) {
        start.cdRequest = true;
        return start;
    }
    // Nothing plays yet in a first instance, so a stop has nothing to do (and is no file name).
    if (args[0].startsWith(QLatin1String("@@st"))) return start;
    if (args[0] == kEdit)
        start.editRequest = true;
    else if (args[0] != kAdd)
        name = args[0];

    auto add = [&start](const QString& gathered) {
        const QString entry = withoutLeadingBlanks(gathered);
        if (!entry.isEmpty()) start.entries << longForm(entry);
    };
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (!name.isEmpty() && (startsNewPath(args[i]) || separateFiles(name, args[i]))) {
            add(name);
            name.clear();
        }
        name += QLatin1Char(' ') + args[i];
    }
    add(name);
    return start;
}

}  // namespace ombrix
