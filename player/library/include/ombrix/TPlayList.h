#pragma once

#include <QString>
#include <QStringList>
#include <QStringListModel>

#include "ombrix/LegacyText.h"
#include "ombrix/PlaylistOrder.h"
#include "ombrix/SongLength.h"

namespace ombrix {

class DiscTitles;

/**
 * @brief The playlist window's list: the entries in play order, a display title for each
 *        (kept in a string-list model the window shows, always the same count and order as the
 *        entries) and a cache of titles built from tags.
 *
 * The cache is never emptied while the list exists: re-filling (shuffle, sort, show) does not
 * read the files again.
 * Thread affinity: main thread.
 */
class TPlayList {
public:
    /// @param preloadTag titles of added entries are built with tags (the "preloadtag" setting)
    /// @param length the song-length query (SongLength::decoder() in the program)
    TPlayList(bool preloadTag, SongLengthFn length);
    TPlayList(const TPlayList&) = delete;
    TPlayList& operator=(const TPlayList&) = delete;

    /// The disc record of the CD in the drive (for ".cda" titles), or nullptr.
    void setDisc(const DiscTitles* disc) noexcept { disc_ = disc; }
    void setPreloadTag(bool on) noexcept { preloadTag_ = on; }
    /// How legacy tag text is decoded (the "tagcodepage" and "language" settings).
    void setTagText(const LegacyText::Choice& text) noexcept { tagText_ = text; }

    const QStringList& entries() const noexcept { return entries_; }
    qsizetype count() const noexcept { return entries_.size(); }
    /// The display titles (row i belongs to entry i).
    QStringListModel* display() noexcept { return &display_; }
    QStringList displayTitles() const { return display_.stringList(); }

    void Add(const QString& entry);
    void AddEntries(const QStringList& entries);
    void Move(qsizetype from, qsizetype to);
    void Delete(qsizetype index);
    /// Empties the entries and the titles; the cache stays.
    void Clear();

    /// The title of @p entry (see the title rule); @p useTags reads length and tag.
    QString BuildTitle(const QString& entry, bool useTags);

    /// The title of CD-track @p entry from @p disc (may be null): the track's title and its
    /// extended text, or "not found"; no time. @p lengthMs, when given, gets the track length.
    static QString cdTrackText(const QString& entry, const DiscTitles* disc,
                               qint32* lengthMs = nullptr);

    /// " (m:ss)" for @p ms; minutes are not limited to 59.
    static QString timeText(qint64 ms);

    /// Shuffles entries and titles with the same moves.
    void shuffle(const PlaylistOrder::Random& random);
    /// Sorts by entry (full path), case-insensitively; titles move along.
    void sort();

    const QStringList& cachedPaths() const noexcept { return cachedPaths_; }

private:
    bool preloadTag_;
    SongLengthFn length_;
    const DiscTitles* disc_ = nullptr;
    LegacyText::Choice tagText_;
    QStringList entries_;
    QStringListModel display_;
    QStringList cachedPaths_;
    QStringList cachedTitles_;
};

}  // namespace ombrix
