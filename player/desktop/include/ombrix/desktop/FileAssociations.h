#pragma once

#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace ombrix {

/// Associations that could not be written; nothing was changed. what() is UTF-8 for the user.
class AssociationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/**
 * @brief Registers the player with the desktop for its media types, the freedesktop way: the
 *        user's desktop entry `$XDG_DATA_HOME/applications/ombrix.desktop` (which stands in
 *        front of the installed one) carries the "Add to Playlist", "Play" and "Edit TAG"
 *        actions and the MIME types, and the user's `$XDG_CONFIG_HOME/mimeapps.list` makes it
 *        the default application where asked.
 *
 * Per media type, by its association flags: 0 touches nothing of the type; bit 0 makes the
 * player the default application of the type's MIME types ([Default Applications], ahead of
 * any other); any other non-zero flags only add the player to the type ([Added Associations]),
 * so an application that owns the type keeps it. Bits 1 to 3 become the desktop entry's
 * actions (the actions belong to the entry, so they are the union over the types asked for).
 * Both files are written atomically and only when they change; lines and groups of
 * mimeapps.list that are not ours keep their bytes. A file that is a symbolic link, cannot be
 * read, is not a key file or cannot be written makes apply() change nothing and throw.
 *
 * Thread affinity: any; one object per thread.
 */
class FileAssociations {
public:
    static inline const QString kDesktopId = QStringLiteral("ombrix.desktop");
    /// What a CD's arrival and its address open when the player is the default CD player.
    static inline const QStringList kCdTypes = {QStringLiteral("x-scheme-handler/cdda"),
                                                QStringLiteral("x-content/audio-cdda")};

    enum Flag { kOpen = 1, kAddToPlaylist = 2, kPlay = 4, kEditTag = 8 };

    struct MediaType {
        QString filter;  ///< "*.mp3;*.mp2;"
        int flags = 0;
    };

    /// @param configHome where mimeapps.list lives; @param dataHome the parent of
    /// "applications"; @param program the program the desktop entry runs.
    FileAssociations(QString configHome, QString dataHome, QString program);
    /// The XDG folders of @p env (XDG_CONFIG_HOME, else ~/.config; XDG_DATA_HOME, else
    /// ~/.local/share).
    static FileAssociations forEnvironment(const QProcessEnvironment& env, QString program);

    /// @throws AssociationError (nothing changed).
    void apply(const QList<MediaType>& types, bool cdPlayer) const;

    /// The extensions of a filter: every fragment between "." and the following ";".
    static QStringList extensions(const QString& filter);
    /// The MIME types the desktop gives files with @p extension (none for unknown ones).
    static QStringList mimeTypes(const QString& extension);

    QString mimeAppsPath() const;
    QString desktopEntryPath() const;

private:
    QByteArray desktopEntry(const QStringList& mimeTypes, int actions, bool cdPlayer) const;
    QString exec(const QString& args) const;

    QString configHome_;
    QString dataHome_;
    QString program_;
};

}  // namespace ombrix
