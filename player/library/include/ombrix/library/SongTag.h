#pragma once

#include <QByteArray>
#include <QString>

#include "ombrix/library/LegacyText.h"

namespace ombrix {

class DiscTitles;

/**
 * @brief The tag record of one file: an ID3v1 tag at the end of an MPEG file, or the LIST/INFO
 *        chunk of a RIFF file.
 *
 * Writing never destroys audio: an ID3v1 tag is written in place over the old tag, over a tag
 * cut short by an interrupted write, or appended; a failed write puts the old bytes back. A
 * RIFF file is rebuilt in a temporary file that replaces the original only when complete.
 * Only regular files are opened: FIFOs and devices are refused before any open.
 * Thread affinity: one thread at a time.
 */
class SongTag {
public:
    /// The software name every read and clear() sets.
    static inline const QString kSoftware = QStringLiteral("ombrix tagger");
    /// Longest value read from a RIFF INFO sub-chunk, in bytes.
    static constexpr int kMaxRiffValue = 1024;
    /// Largest RIFF INFO sub-chunk written (the text is cut to fit with its zero byte).
    static constexpr int kMaxRiffWrite = 4096;

    QByteArray tagId;  ///< "TAG" exactly when a tag (or a LIST chunk) was found
    QString title;
    QString album;
    QString comment;
    QString artist;
    QString year;
    QString genreName;
    QString copyright;
    QString software;
    QString source;
    QString engineer;
    qint32 lengthMs = 0;
    qint32 genreIndex = 0;
    quint32 fileSize = 0;
    bool isRiff = false;
    /// The code page of the tag's text when it is not UTF-8 (Auto: UTF-8). read() sets it;
    /// write() writes ID3v1 text in it when every character fits, else in UTF-8.
    LegacyText::CodePage codePage = LegacyText::CodePage::Auto;
    /// The texts came from an ID3v2 or APE tag (readTexts()); such a tag is never written.
    bool fromModernTag = false;

    bool found() const { return tagId == "TAG"; }
    /// The record holds a tag's texts: an ID3v1 or INFO tag, or an ID3v2 or APE tag.
    bool hasTexts() const { return found() || fromModernTag; }

    /// title := file name without folder and extension; other texts empty; genre 0;
    /// software "ombrix tagger".
    void clear(const QString& fileName);

    /// A RIFF file has a LIST/INFO chunk; another file ends in "TAG" + 125 bytes. False when
    /// the file cannot be read.
    static bool hasTag(const QString& fileName);

    /// Fills the record from @p fileName; ID3v1 and INFO text that is not UTF-8 is decoded in
    /// the code page @p text chooses (codePage tells which). @return false (record unchanged)
    /// when it cannot be opened.
    bool read(const QString& fileName, const LegacyText::Choice& text = {});

    /// read(), and when the file has no ID3v1 or INFO tag, the texts of its ID3v2 or APE tag
    /// (title, artist, album, year, comment, genre name; fromModernTag set).
    bool readTexts(const QString& fileName, const LegacyText::Choice& text = {});

    /// Fills title, artist, album and length from @p disc for the CD-track entry @p entry.
    void readCdTrack(const QString& entry, const DiscTitles& disc);

    /**
     * @brief Writes the record into @p fileName (".rmp", ".mp3", ".mp2", ".mpa", ".wav" only).
     * @return true when the file was written; false when it is not writable, has another
     *         extension or is a RIFF file without a "data" chunk. A failure leaves the file as it
     *         was (RIFF) or with its audio intact (ID3v1).
     */
    bool write(const QString& fileName) const;

    /// Copies every field except the tag id.
    void assign(const SongTag& other);

    /// Display field @p index (0..12) right-trimmed; empty for 8 (time) and unknown indices.
    QString displayField(int index) const;

    /// Removes trailing blanks and control characters.
    static QString rightTrim(const QString& text);

private:
    bool writeId3v1(const QString& fileName) const;
    bool writeRiff(const QString& fileName) const;
};

}  // namespace ombrix
