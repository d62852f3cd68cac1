#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "ombrix/library/LegacyText.h"
#include "ombrix/library/PlaylistOrder.h"
#include "ombrix/library/SongLength.h"

namespace ombrix {

class DiscTitles;
class TitleReader;

/**
 * @brief The playlist window's list: the entries in play order and the model its view shows,
 *        one row per entry with the entry's display title.
 *
 * Built for lists of 100,000 entries: titles are made when a row is first shown, titles from
 * tags are read on a worker thread (TitleReader) and arrive as row changes, the cache of tag
 * titles is hashed, and every edit emits exact row signals (shuffle and sort, which move every
 * row, reset the model). The cache is never emptied while the list exists: re-filling
 * (shuffle, sort, show) does not read the files again.
 * Thread affinity: main thread.
 */
class Playlist : public QAbstractListModel {
    Q_OBJECT
public:
    /// The entry of a row (Qt::UserRole).
    static constexpr int kEntryRole = Qt::UserRole;

    /// @param preloadTag titles of rows are built with tags (the "preloadtag" setting)
    /// @param length the song-length query (SongLength::decoder() in the program)
    Playlist(bool preloadTag, SongLengthFn length, QObject* parent = nullptr);
    ~Playlist() override;

    /// The disc record of the CD in the drive (for ".cda" titles), or nullptr.
    void setDisc(const DiscTitles* disc) noexcept { disc_ = disc; }
    const DiscTitles* disc() const noexcept { return disc_; }
    /// The disc record has new titles: rows of CD tracks show them.
    void discChanged();
    void setPreloadTag(bool on);
    /// How legacy tag text is decoded (the "tagcodepage" and "language" settings).
    void setTagText(const LegacyText::Choice& text);

    const QStringList& entries() const noexcept { return entries_; }
    qsizetype count() const noexcept { return entries_.size(); }
    /// The title row @p row shows now (a file name while its tag title is being read).
    QString titleAt(qsizetype row) const;
    /// Every row's title as titleAt() gives it (tests and small lists).
    QStringList displayTitles() const;

    void add(const QString& entry);
    void addEntries(const QStringList& entries);
    /// Replaces every entry (one reset).
    void setEntries(const QStringList& entries);
    /// Moves one entry; @p to is its index afterwards.
    void move(qsizetype from, qsizetype to);
    /**
     * @brief Moves the entries at @p rows (any order, duplicates ignored) so that they stand
     *        together, in list order, starting at index @p to of the list without them
     *        (clamped to the ends). @return the index the first moved entry ends at.
     */
    qsizetype moveRows(std::vector<int> rows, qsizetype to);
    void remove(qsizetype index);
    /// Deletes the entries at @p rows (any order).
    void deleteRows(std::vector<int> rows);
    /// Empties the entries; the cache stays.
    void clear();

    /// The title of @p entry (see the title rule); @p useTags reads length and tag now, on
    /// this thread (for one entry, such as the selected one).
    QString buildTitle(const QString& entry, bool useTags);
    /// Row @p row shows buildTitle(entry, true) from now on (the selected row).
    void refreshTitle(qsizetype row);

    /// The title of CD-track @p entry from @p disc (may be null): the track's title and its
    /// extended text, or "not found"; no time. @p lengthMs, when given, gets the track length.
    static QString cdTrackText(const QString& entry, const DiscTitles* disc,
                               qint32* lengthMs = nullptr);

    /// " (m:ss)" for @p ms; minutes are not limited to 59.
    static QString timeText(qint64 ms);

    /// Shuffles the entries (the shuffle order of PlaylistOrder).
    void shuffle(const PlaylistOrder::Random& random);
    /// Sorts by entry (full path), case-insensitively.
    void sort();

    /// Entries whose title came from a tag.
    qsizetype cachedCount() const noexcept { return cache_.size(); }
    bool hasCachedTitle(const QString& entry) const { return cache_.contains(entry); }

    // QAbstractListModel
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

private:
    /// The title without reading a file: a web address, a CD track, a cached tag title or the
    /// file name. @p needsTags is set when a tag title could replace it.
    QString quickTitle(const QString& entry, bool* needsTags) const;
    void titleRead(const QString& entry, int rowHint, const std::optional<QString>& title);
    void replaceAll(QStringList entries);

    bool preloadTag_;
    SongLengthFn length_;
    const DiscTitles* disc_ = nullptr;
    LegacyText::Choice tagText_;
    QStringList entries_;
    QHash<QString, QString> cache_;  // entry -> title built from its tag
    QSet<QString> untagged_;         // entries found to have no tag title (this fill)
    std::unique_ptr<TitleReader> reader_;
};

}  // namespace ombrix
