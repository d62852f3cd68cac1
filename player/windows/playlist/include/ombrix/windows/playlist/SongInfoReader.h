#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <mutex>
#include <vector>

#include "ombrix/library/LegacyText.h"
#include "ombrix/library/NewestFirstWorker.h"
#include "ombrix/library/SongLength.h"

namespace ombrix {

/// What the playlist window's columns show of one song.
struct SongInfo {
    QString title;  ///< the tag's title, else the file name without folder and extension
    QString artist;
    QString album;
    qint32 lengthMs = 0;  ///< 0 when it cannot be told
};

/**
 * @brief Reads the tags and lengths of playlist entries on a thread of its own (a
 *        NewestFirstWorker), for the rows the playlist window shows. Results reach the owner's
 *        thread in batches: one queued call
 *        carries everything read since the last one, so the main thread never handles a
 *        flood of single results.
 *
 * Thread affinity: request(), cancelQueued(), setTagText() and the destructor on the thread of
 * @p context, where the batches are delivered. The worker is joined by the destructor.
 */
class SongInfoReader {
public:
    static constexpr std::size_t kMaxQueued = NewestFirstWorker::kMaxQueued;
    struct Result {
        QString entry;
        int rowHint;  ///< the row the entry stood in when it was asked for
        SongInfo info;
    };
    using Delivery = std::function<void(std::vector<Result> batch)>;

    SongInfoReader(QObject* context, SongLengthFn length, Delivery delivered);
    ~SongInfoReader();
    SongInfoReader(const SongInfoReader&) = delete;
    SongInfoReader& operator=(const SongInfoReader&) = delete;

    void setTagText(const LegacyText::Choice& text);
    /// Asks for @p entry, shown at @p rowHint; repeated requests are merged.
    void request(const QString& entry, int rowHint) { worker_.request(entry, rowHint); }
    /// Forgets requests that have not started.
    void cancelQueued() { worker_.cancelQueued(); }

    /// True for an entry whose tags are looked for: one that is no web address, CD track or
    /// archive member. Looks at the name only (no file system access).
    static bool readsTags(const QString& entry);
    /// The file name of @p entry without folder and extension.
    static QString plainTitle(const QString& entry);
    /// Tag texts and length of @p entry; a file without a tag, or one that cannot be read,
    /// gives its plain title. Any thread.
    static SongInfo read(const QString& entry, const SongLengthFn& length,
                         const LegacyText::Choice& text);

private:
    void work(const QString& entry, int rowHint);
    void deliver();

    QObject* context_;
    SongLengthFn length_;
    Delivery delivered_;
    std::mutex mutex_;  // guards the tag text, the batch and its posting
    std::vector<Result> done_;
    bool deliveryPosted_ = false;
    LegacyText::Choice text_;
    NewestFirstWorker worker_;  // last: joined before the members its work uses
};

}  // namespace ombrix
