#pragma once

#include <QString>
#include <QStringList>

namespace ombrix {

class DiscRecord;
class IniDocument;

/**
 * @brief The local database of disc records, "cddb.ini": one section per disc ID with the
 *        disc's titles, category, frame offsets, play order and whether the record is on a
 *        server.
 *
 * The file is read anew for every load and rewritten whole (atomically) for every save, with the
 * records of other discs kept as they are. A missing file is an empty database; a file that
 * exists but cannot be read (not a regular file, not text, too large) is also an empty database
 * for loads, and is never overwritten.
 * Thread affinity: one thread at a time.
 */
class DiscDatabase {
public:
    static inline const QString kFileName = QStringLiteral("cddb.ini");

    explicit DiscDatabase(QString path) : path_(std::move(path)) {}

    const QString& path() const noexcept { return path_; }

    /**
     * @brief Fills @p record from the section @p discId. The record takes the disc ID in any case.
     *
     * Without a record there (no section, "ntracks" 0 or missing) the defaults are applied,
     * keeping the track count, and false is returned. Otherwise the stored tracks replace the
     * record's, unless the record's lengths were just read from the disc: then its tracks and
     * lengths stay and only the titles are taken (and the "tracks from disc" mark is cleared).
     */
    bool load(DiscRecord& record, const QString& discId) const;
    /// Writes @p record under its disc ID. False when the file could not be read or written.
    bool save(const DiscRecord& record) const;
    /// The disc IDs of the file in file order, each once.
    QStringList discIds() const;

    /// Reads a record's section from @p doc (see load()).
    static bool loadFrom(const IniDocument& doc, DiscRecord& record, const QString& discId);
    /// Replaces the record's section in @p doc.
    static void storeInto(IniDocument& doc, const DiscRecord& record);
    /// The two-hex-digit pairs of a PLAYORDER value; a missing or unreadable pair gives 0.
    static QList<int> parsePlayOrder(const QString& value, int tracks);

private:
    QString path_;
};

}  // namespace ombrix
