#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include "ombrix/library/DiscTitles.h"

namespace ombrix {

class CdDisc;

/// One track of a disc record.
struct DiscTrack {
    qint32 playOrder = 1;  ///< 1-based position of this track in play order
    qint32 lengthMs = 0;
    QString title;     ///< "Track " and the 1-based number by default
    QString extended;  ///< shown as the artist of a CD track
};

/**
 * @brief The record of one audio disc: its CDDB disc ID and table of contents, the disc title
 *        and category, and one DiscTrack per track with title, extended text, length and play
 *        order. Filled from the disc itself, the local database (DiscDatabase) or a CDDB server
 *        (CddbSession).
 *
 * Track indices of the methods named "...At" are 0-based; the DiscTitles interface counts from 1.
 * Thread affinity: one thread at a time (the main thread).
 */
class DiscRecord : public DiscTitles {
public:
    static constexpr int kPregapSectors = 150;  ///< the 2 s before the first track
    static constexpr int kSectorsPerSecond = 75;
    static constexpr int kMaxTracks = 99;
    static inline const QString kDefaultTitle = QStringLiteral("Untitled");
    static inline const QString kDefaultCategory = QStringLiteral("rock");
    /// The categories a user may choose, in the order the title editor lists them.
    static const QStringList& categories();

    DiscRecord();

    /// Takes the table of contents of @p disc: disc ID, frame offsets, disc length, one track
    /// with default titles per track of the disc (data tracks too) with its length. The
    /// "tracks from disc" mark is set.
    void readDisc(const CdDisc& disc);
    /**
     * @brief The same from a bare table of contents: the first sector (LSN, without the
     *        pregap) and the sector count of every track.
     */
    void readToc(const QVector<qint32>& firstSectors, const QVector<qint32>& sectorCounts);

    /// The CDDB disc ID of a table of contents: @p offsets are the frame offsets of the tracks
    /// (pregap included), @p lastSectors the sector count of the last track.
    static quint32 cddbId(const QVector<qint32>& offsets, qint32 lastSectors);
    /// @p id as 8 lower-case hexadecimal digits.
    static QString idText(quint32 id);
    /// The MusicBrainz disc ID of the table of contents (empty when there is none or it is not
    /// a valid one).
    QString musicBrainzId() const;

    /// Replaces the tracks with @p n tracks of default values (order = number).
    void setTrackCount(int n);
    /// Gives track @p index the play position @p order; the track that had it gets the old one.
    void setPlayOrder(int index, int order);
    /// Disc title, category and track defaults, keeping the track count and lengths.
    void applyDefaults();
    /// No track title is still its default "Track n".
    bool isComplete() const;
    static QString defaultTrackTitle(int index) {
        return QStringLiteral("Track %1").arg(index + 1);
    }

    /// The submission record ("# xmcd" text) with CR LF line ends, ended by a "." line.
    QByteArray xmcdText() const;

    // DiscTitles
    int trackCount() const override { return int(tracks_.size()); }
    QString discTitle() const override { return discTitle_; }
    QString trackTitle(int track) const override;
    QString trackExtended(int track) const override;
    qint32 trackLengthMs(int track) const override;

    const QVector<DiscTrack>& tracks() const noexcept { return tracks_; }
    DiscTrack& trackAt(int index) { return tracks_[index]; }
    const DiscTrack& trackAt(int index) const { return tracks_[index]; }
    /// Frame offsets of the tracks (pregap included); as many as tracks when known.
    const QVector<qint32>& frameOffsets() const noexcept { return offsets_; }
    void setFrameOffsets(const QVector<qint32>& offsets) { offsets_ = offsets; }
    /// The lead-out's frame offset (0 when the disc was not read).
    qint32 leadOutOffset() const noexcept { return leadOut_; }

    QString discId() const { return discId_; }
    void setDiscId(const QString& id) { discId_ = id; }
    void setDiscTitle(const QString& t) { discTitle_ = t; }
    QString category() const { return category_; }
    void setCategory(const QString& c) { category_ = c; }
    qint32 discLengthSeconds() const noexcept { return discLength_; }
    void setDiscLengthSeconds(qint32 s) { discLength_ = s; }
    bool onServer() const noexcept { return onServer_; }
    void setOnServer(bool on) { onServer_ = on; }
    /// The lengths were just read from the disc; the next local load keeps them.
    bool tracksFromDisc() const noexcept { return tracksFromDisc_; }
    void setTracksFromDisc(bool v) { tracksFromDisc_ = v; }
    /// From the last query: the category and disc ID of the first match.
    QString matchedCategory() const { return matchedCategory_; }
    QString matchedDiscId() const { return matchedDiscId_; }
    void setMatch(const QString& category, const QString& id) {
        matchedCategory_ = category;
        matchedDiscId_ = id;
    }
    /// Who we say we are in the CDDB hello.
    QString userName() const { return QStringLiteral("anonymous"); }
    QString hostName() const { return hostName_; }
    void setHostName(const QString& name);

private:
    QVector<DiscTrack> tracks_;
    QVector<qint32> offsets_;
    qint32 leadOut_ = 0;
    QString discId_;
    QString discTitle_ = kDefaultTitle;
    QString category_ = kDefaultCategory;
    qint32 discLength_ = 0;
    bool onServer_ = false;
    bool tracksFromDisc_ = false;
    QString matchedCategory_;
    QString matchedDiscId_;
    QString hostName_;
};

}  // namespace ombrix
