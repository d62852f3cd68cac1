#pragma once

#include <QString>
#include <QStringList>

namespace ombrix {

/// What the first instance takes from its command line.
struct FirstInstanceStart {
    QStringList entries;       ///< playlist entries in long form, in order
    bool editRequest = false;  ///< "@@edit": open the tag editor on the entries once shown
    bool cdRequest = false;    ///< "@@cd": read the CD's track list instead
};

/// What the program's own options ask for, and the arguments left for the player.
struct ProgramOptions {
    enum class Action {
        Run,      ///< start the player (or hand the arguments to the running one)
        Help,     ///< print the usage and end
        Version,  ///< print the version and end
        Error,    ///< a wrong option: say so on standard error and end with kUsageError
    };
    Action action = Action::Run;
    QStringList args;  ///< the arguments without the program name and the program's options
    QString error;     ///< for Action::Error: what is wrong, one line
};

/**
 * @brief The start-up command line: how arguments the shell split at blanks are joined back into
 *        names, for the first instance and for the text a second instance hands to the running
 *        one.
 *
 * An argument starts a new name when it is an absolute path; "@@add", "@@edit", "@@cd" and
 * "@@stop" are the commands a second start can carry. Arguments never include the program name.
 *
 * Thread affinity: any (pure functions). Nothing throws.
 */
class CommandLine {
public:
    /// Longest text, in bytes of UTF-8, that fits the hand-over block with its terminating zero.
    static constexpr qsizetype kMaxTextBytes = 255;

    /// Exit status of a start with a wrong option.
    static constexpr int kUsageError = 2;

    /**
     * @brief Reads the program's options from @p argv (argv[0] is the program name): "--help"
     *        (or "-h"), "--version", "--home DIR" / "--home=DIR"; "--" ends the options, so
     *        that the names after it may begin with "-". Any other argument beginning with
     *        "--" is an error, decided before anything could reach a running player. Help and
     *        version win over an error (the user asked how to call the program).
     */
    static ProgramOptions parseProgramOptions(const QStringList& argv);

    /// The text of "--help", for @p program (the name the user typed).
    static QString usage(const QString& program);

    /**
     * @brief The one name or command a second instance sends to the running one.
     *
     * The first argument (the first two when it begins with "@@") is always taken; each further
     * argument is appended with one blank until one that starts a new path or is a command
     * (begins with "@@" and is longer than 2 characters); the rest is dropped. Leading blanks are
     * removed. The path (the whole text, or what follows "@@add " / "@@edit ") is turned into its
     * long form here, against this process's current folder, because the running instance has
     * another one.
     *
     * @return the text, or an empty string when there is nothing to send: no arguments, or a text
     *         longer than kMaxTextBytes that names a file (a shortened path would name another
     *         file). "@@stop" and "@@cd" only need their first characters and are cut at a
     *         character boundary instead.
     */
    static QString joinForRunningInstance(const QStringList& args);

    /**
     * @brief The playlist entries and requests of a first instance's command line: a new name
     *        starts at each argument that is an absolute path, the other arguments are joined to
     *        the name before them with one blank. A first argument "@@add" or "@@edit" starts with
     *        an empty name; "@@cd" ignores the rest; "@@stop" gives nothing to play.
     */
    static FirstInstanceStart gatherFirstInstance(const QStringList& args);

    /**
     * @brief The long form of a name: a web address (beginning with "http") as it is, any other
     *        name as an absolute, cleaned path (symbolic links are not resolved). Empty stays
     *        empty.
     */
    static QString longForm(const QString& name);

    /// The argument starts a new path (an absolute file path; Qt resource names do not count).
    static bool startsNewPath(const QString& arg);
    /// @p arg names a file or folder of its own after @p sofar, which already names one
    /// (relative names as a shell passes them: "ombrix *.mp3", "ombrix *" in a music folder).
    static bool separateFiles(const QString& sofar, const QString& arg);
};

}  // namespace ombrix
