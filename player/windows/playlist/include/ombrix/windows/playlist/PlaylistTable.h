#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QPersistentModelIndex>
#include <memory>
#include <optional>
#include <vector>

#include "ombrix/library/LegacyText.h"
#include "ombrix/library/SongLength.h"
#include "ombrix/windows/playlist/SongInfoReader.h"

namespace ombrix {

class Playlist;

/**
 * @brief The playlist window's columns over a Playlist: title, artist, album and length of
 *        each entry, one row per entry in the list's order.
 *
 * Tags are read only for the rows the view asks for (the rows on screen), on the reader's
 * thread, and kept: a list of many thousand entries reads what is looked at and never twice.
 * Until a row's tag has arrived its title is the file name. Every change of the list arrives
 * here as the same row signals, so selections and the view's place survive edits.
 * Thread affinity: main thread.
 */
class PlaylistTable : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kTitle, kArtist, kAlbum, kLength, kColumnCount };

    /// @param length the song-length query (SongLength::decoder() in the program)
    PlaylistTable(Playlist& list, SongLengthFn length, QObject* parent = nullptr);
    ~PlaylistTable() override;

    Playlist& list() noexcept { return list_; }
    /// How legacy tag text is decoded (the "tagcodepage" and "language" settings).
    void setTagText(const LegacyText::Choice& text);

    /// What the cell shows now; reads nothing.
    QString shownText(int row, int column) const;
    /// The info read for @p entry, if it has arrived.
    std::optional<SongInfo> info(const QString& entry) const;
    /// Forgets what was read (tags may have been edited since); rows read again when shown.
    void forgetInfo();
    /// The order (element i: the old row of the entry that goes to row i) that sorts the
    /// rows by what @p column shows now, lengths by time; equal rows keep their order when
    /// ascending.
    std::vector<int> sortOrder(int column, Qt::SortOrder order) const;

    /// "m:ss" of @p ms; minutes are not limited to 59.
    static QString lengthText(qint32 ms);

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

private:
    void follow();
    void arrived(std::vector<SongInfoReader::Result> batch);

    Playlist& list_;
    QHash<QString, SongInfo> info_;
    std::unique_ptr<SongInfoReader> reader_;
    // Persistent indexes across a layout change of the list.
    QModelIndexList layoutBefore_;
    QList<QPersistentModelIndex> layoutSources_;
};

}  // namespace ombrix
