#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace ombrix {

/// What a telnet command asks the player to do after its reply was built.
struct TelnetAction {
    enum class Kind { None, SetVolume, Play, PlayEntry, Stop, Next, Prev, Load, Shutdown };
    Kind kind = Kind::None;
    int number = 0;  ///< SetVolume: 0..127; PlayEntry: 0-based index
    QString path;    ///< Load: the file to add and play
};

/// One entry of the remote folder listing.
struct TelnetFolderEntry {
    QString name;
    bool plainDirectory = false;  ///< a directory with no other attribute (shown as "<name>")
};

/// A folder listing, or why there is none.
struct TelnetFolderListing {
    enum class Status { Ok, NotFound, Unreadable };
    Status status = Status::NotFound;
    std::vector<TelnetFolderEntry> entries;
};

/**
 * @brief What the command interpreter may read of the player: a snapshot taken on the main
 *        thread for one command. The functions are called only by the commands that need them.
 */
struct TelnetView {
    int volume = 0;
    QString version;  ///< the main window's title
    QString line1;    ///< first tag display line
    QString line2;    ///< second tag display line
    bool playing = false;
    int entryCount = 0;
    /// The listing text of entry @p index (0-based) of the main playlist.
    std::function<QString(int index)> listingText;
    QString telnetpath;
    bool allowShutdown = false;
    /// The regular file @p name directly inside @p folder, or an empty text when there is none.
    std::function<QString(const QString& folder, const QString& name)> findFile;
    std::function<TelnetFolderListing(const QString& folder)> listFolder;
};

/// The reply text (without its final line end) and the action to carry out.
struct TelnetResult {
    QString reply;
    TelnetAction action;
};

/**
 * @brief The remote-control command language as pure functions over text: no sockets, no files,
 *        no event loop. Commands are a table of names with their handlers. Texts that come from
 *        outside (file names, tags, the display lines) are sent through printable().
 *
 * Thread affinity: any (pure functions; the view's functions run on the caller's thread).
 * Nothing throws except what the view's functions throw.
 */
class TelnetInterpreter {
public:
    /// Line break of everything the server sends: LF, then CR.
    static inline const QString kEol = QStringLiteral("\n\r");
    static inline const QString kSyntaxError =
        QStringLiteral("unrecognized command or syntax error");

    /**
     * @brief Runs one command @p line (already trimmed; any case) against @p view.
     *        Command names are matched without regard to case; file names keep their case.
     *        For PlayEntry the reply is empty: the caller sets playEntryReply() once it knows
     *        whether the player is playing.
     */
    static TelnetResult parseCommand(const QString& line, const TelnetView& view);

    /// "okay" when the player plays after "play N", else "nope".
    static QString playEntryReply(bool playing);

    /// The help text, lines separated by kEol.
    static QString helpText();

    /**
     * @brief A received line as text: decoded as UTF-8 (Latin-1 when it is not valid UTF-8),
     *        leading and trailing blanks and control characters removed, case kept.
     */
    static QString normalize(const QByteArray& line);

    /**
     * @brief @p text with every control character (below 0x20, 0x7f and the C1 range
     *        0x80..0x9f) replaced by '?': names and tags from outside cannot move the client's
     *        cursor, clear its screen or end a reply line early.
     */
    static QString printable(QString text);

    /**
     * @brief A decimal number with an optional sign, saturated to the range of int.
     * @return false when @p text is not such a number.
     */
    static bool parseDecimal(const QString& text, int& value);
};

}  // namespace ombrix
