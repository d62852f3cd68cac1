#pragma once

#include <QString>
#include <QStringList>

namespace ombrix {

class DiscDatabase;
class DiscRecord;

/**
 * @brief The editing of one disc record as the CD title editor shows it: the disc's labels, the
 *        track list, one selected track whose title, extended text and play position are being
 *        edited, and whether the user has changed anything worth saving.
 *
 * Text that is not plain ASCII in a track's title or extended text selects the category
 * "2byte", where such titles are filed.
 * Thread affinity: main thread; @p record must outlive the editor.
 */
class DiscTitleEditor {
public:
    explicit DiscTitleEditor(DiscRecord& record);

    /// "DISC ID : " and the disc ID.
    QString idLabel() const;
    /// "MusicBrainz : " and the MusicBrainz disc ID, empty without a table of contents.
    QString musicBrainzLabel() const;
    /// "Track %d  (%d:%.2d)" per track: number, minutes and seconds of its length.
    QStringList trackLines() const;
    /// Position of the record's category among DiscRecord::categories(), -1 when not there.
    int categoryIndex() const;

    /// Starts again on the record as it is now: the first track selected, nothing changed.
    void reset();
    int selected() const noexcept { return selected_; }
    /// Selects track @p index (held to the tracks).
    void select(int index);
    /// Stores @p title and @p extended into the selected track, then selects the one @p delta
    /// places away (held to the first and last track).
    void move(int delta, const QString& title, const QString& extended);

    QString title() const;
    QString extended() const;
    int playOrder() const;
    int maxPlayOrder() const;

    void storeTitle(const QString& title);
    void storeExtended(const QString& extended);
    void storeDiscTitle(const QString& title);
    void storeCategory(const QString& category);
    /// Gives the selected track the play position @p order (swapping with the track that had
    /// it) and marks the record changed.
    void storePlayOrder(int order);

    /// The user changed something: saving is offered.
    bool modified() const noexcept { return modified_; }
    void markModified() { modified_ = true; }
    /// Writes the record into @p database; false when the file could not be written.
    bool save(const DiscDatabase& database);

    DiscRecord& record() noexcept { return record_; }

private:
    void takeTwoByte(const QString& text);

    DiscRecord& record_;
    int selected_ = 0;
    bool modified_ = false;
};

}  // namespace ombrix
