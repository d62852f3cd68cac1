#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <mutex>
#include <optional>

#include "ombrix/library/LegacyText.h"
#include "ombrix/library/NewestFirstWorker.h"
#include "ombrix/library/SongLength.h"

namespace ombrix {

/**
 * @brief Builds playlist titles from tags on a thread of its own (a NewestFirstWorker), so a
 *        list of many thousand entries never reads files on the main thread.
 *
 * Thread affinity: request() and the destructor on the thread that owns @p context; results
 * are delivered there through queued calls. The worker is joined by the destructor.
 */
class TitleReader {
public:
    static constexpr std::size_t kMaxQueued = NewestFirstWorker::kMaxQueued;
    /// A built title, or nullopt when the entry has none from tags (its file name stands).
    using Result =
        std::function<void(const QString& entry, int rowHint, const std::optional<QString>& title)>;

    TitleReader(QObject* context, SongLengthFn length, Result result);
    ~TitleReader();
    TitleReader(const TitleReader&) = delete;
    TitleReader& operator=(const TitleReader&) = delete;

    void setTagText(const LegacyText::Choice& text);
    /// Asks for the title of @p entry, now shown at @p rowHint; repeated requests are merged.
    void request(const QString& entry, int rowHint) { worker_.request(entry, rowHint); }
    /// Forgets requests that have not started.
    void cancelQueued() { worker_.cancelQueued(); }

    /// The title from tags and length of the local file @p entry, or nullopt (no tag and no
    /// time, or the file cannot be read). Any thread.
    static std::optional<QString> tagTitle(const QString& entry, const SongLengthFn& length,
                                           const LegacyText::Choice& text);

private:
    void work(const QString& entry, int rowHint);

    QObject* context_;
    SongLengthFn length_;
    Result result_;
    std::mutex textMutex_;
    LegacyText::Choice text_;
    NewestFirstWorker worker_;  // last: joined before the members its work uses
};

}  // namespace ombrix
