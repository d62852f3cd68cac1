#pragma once

#include <QHash>
#include <QString>
#include <map>
#include <mutex>
#include <optional>

namespace ombrix {

/**
 * @brief The loudness measured of files without loudness tags, kept in a text file so that each
 *        file is measured once: per file its absolute path, size and modification time, and
 *        the measured gain and peak, or the mark that it could not be measured.
 *
 * A file whose size or modification time changed is measured again. At most kMaxEntries are
 * kept; storing one more drops the one stored longest ago. The file is written atomically; an
 * unreadable or damaged file gives an empty cache (damaged lines are skipped).
 * Thread affinity: any; every method locks.
 */
class ReplayGainCache {
public:
    static constexpr int kMaxEntries = 20000;
    /// The cache file's name in the player's home.
    static inline const QString kFileName = QStringLiteral("replaygain.cache");

    /// What identifies one version of a file.
    struct Key {
        QString path;  ///< absolute
        qint64 size = 0;
        qint64 modifiedMs = 0;
    };
    /// The result for one file: measured (gain in dB, linear peak) or failed.
    struct Entry {
        bool failed = false;
        double gainDb = 0.0;
        double peak = 0.0;
    };

    /// The key of @p file as it is now; nullopt when it is not a readable regular file.
    static std::optional<Key> keyOf(const QString& file);

    explicit ReplayGainCache(QString cacheFile) : file_(std::move(cacheFile)) {}

    /// Replaces what is held with the cache file's entries (none when it is missing or cannot
    /// be read).
    void load();
    /// Writes every entry into the cache file; false when it cannot be written.
    bool save();
    /// True when something was stored since the last load() or save().
    bool dirty() const;

    /// The entry of @p key, or nullopt when there is none for this size and time.
    std::optional<Entry> find(const Key& key) const;
    void store(const Key& key, const Entry& entry);
    int size() const;

private:
    struct Record {
        qint64 size = 0;
        qint64 modifiedMs = 0;
        Entry entry;
        quint64 serial = 0;  // when it was stored: the smallest goes first
    };
    void storeLocked(const Key& key, const Entry& entry);

    QString file_;
    mutable std::mutex mutex_;
    QHash<QString, Record> records_;
    std::map<quint64, QString> order_;  // serial -> path, oldest first
    quint64 nextSerial_ = 0;
    bool dirty_ = false;
};

}  // namespace ombrix
