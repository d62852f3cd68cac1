#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "ombrix/library/Playlist.h"
#include "ombrix/library/PlaylistOrder.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/windows/playlist/PlaylistTable.h"

namespace ombrix {

class PlaybackController;
class SettingsStore;

/**
 * @brief What the playlist window does, without the window: an editable copy of the main
 *        playlist in a Playlist, the rules for adding names, the list commands, the status
 *        line and the hand-over of the list when the window closes.
 *
 * Rows are passed in by the window (its selection); every command returns or keeps the row
 * that is to be selected afterwards.
 * Thread affinity: main thread.
 */
class PlaylistEditor : public QObject {
    Q_OBJECT
public:
    /// The text of the status line while a file is playing.
    static inline const QString kPlayingPrefix = QStringLiteral("playing - ");
    PlaylistEditor(PlaybackController& controller, SettingsStore& store, QObject* parent = nullptr);
    ~PlaylistEditor() override;

    Playlist& list() noexcept { return *list_; }
    /// The list's columns (title, artist, album, length), as the window shows them.
    PlaylistTable& table() noexcept { return *table_; }
    void setRandom(PlaylistOrder::Random random) { random_ = std::move(random); }

    /**
     * @brief The entries the name @p name contributes: nothing for a web address; a shortcut's
     *        target by these same rules; the lines of a ".dmp"/".m3u" playlist except those
     *        beginning with "@" (and, as everywhere in the player, ".m3u" comment lines); one
     *        entry per playable member of a ".zip" archive; the absolute path of a playable file;
     *        nothing for other files. @p problem gets a message for a file that cannot be read.
     */
    static QStringList entriesFor(const QString& name, const MediaIdentifier& media,
                                  QString* problem = nullptr);
    /// Appends what @p names contribute (in order); returns how many entries were added.
    int addItems(const QStringList& names);

    /// The window is shown: the list is filled from the main playlist and discard cleared.
    /// @return the row to select (the main window's current index), -1 when the list is empty.
    int show();
    /**
     * @brief The main window added files while the window is open. When they were appended to
     *        the playlist the window was filled from, they are appended here too and the
     *        user's edits stay; when the main playlist was replaced or reordered, the window
     *        shows it anew. @return the row to select, as show() does.
     */
    int refill();
    /// Esc and "discard changes": the coming close leaves the main playlist as it was.
    void setDiscard() noexcept { discard_ = true; }
    bool discard() const noexcept { return discard_; }
    /// The window closes with @p selectedRow selected: hands the list over unless discarded.
    void close(int selectedRow);

    /// @return the row to select afterwards (-1: none).
    int remove(const std::vector<int>& rows, int currentRow);
    int up(int row);
    int down(int row);
    void shuffle();
    /// "A–Z": sorts by the titles as they are shown.
    void sort();
    /// Sorts the entries by what column @p column of table() shows now.
    void sortBy(int column, Qt::SortOrder order);
    void clear();
    /// Replaces the main playlist by the window's entries and plays @p row.
    void play(int row);
    /// The text typed into the "open URL" box is added when it has at least 8 characters.
    bool addUrl(const QString& text);
    /// Saves the window's entries. @throws FileError.
    void save(const QString& fileName) const;
    /// The file the tag editor is to open for @p row, or an empty string when its extension
    /// is not one the tagger writes.
    QString tagTarget(int row) const;

    /// The status line for @p row (empty for none); rebuilds the row's title with tags.
    QString statusText(int row);
    /// The row of the first entry equal to main-playlist entry @p index (for the window to
    /// select while it is visible), -1 when there is none.
    int rowForPlaying(int index) const;

    /// Drops an entry the player found unplayable, so that closing the window does not bring
    /// it back.
    void forget(const QString& entry);

private:
    PlaybackController& controller_;
    SettingsStore& store_;
    std::unique_ptr<Playlist> list_;
    std::unique_ptr<PlaylistTable> table_;
    MediaIdentifier media_;
    PlaylistOrder::Random random_;
    bool discard_ = false;
    QStringList filledFrom_;  // the main playlist as the window last took it
};

}  // namespace ombrix
