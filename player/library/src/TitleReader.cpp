#include "ombrix/library/TitleReader.h"

#include <QFileInfo>
#include <QPointer>

#include "ombrix/library/Playlist.h"
#include "ombrix/library/SongTag.h"
#include "ombrix/media/MediaIdentifier.h"

namespace ombrix {

TitleReader::TitleReader(QObject* context, SongLengthFn length, Result result)
    : context_(context), length_(std::move(length)), result_(std::move(result)) {
    thread_ = std::thread([this] { run(); });
}

TitleReader::~TitleReader() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

void TitleReader::setTagText(const LegacyText::Choice& text) {
    std::lock_guard lock(mutex_);
    text_ = text;
}

void TitleReader::request(const QString& entry, int rowHint) {
    {
        std::lock_guard lock(mutex_);
        if (!queued_.insert(entry).second) return;
        queue_.push_back({entry, rowHint});
        if (queue_.size() > kMaxQueued) {
            queued_.erase(queue_.front().entry);
            queue_.pop_front();
        }
    }
    wake_.notify_one();
}

void TitleReader::cancelQueued() {
    std::lock_guard lock(mutex_);
    queue_.clear();
    queued_.clear();
}

std::optional<QString> TitleReader::tagTitle(const QString& entry, const SongLengthFn& length,
                                             const LegacyText::Choice& text) {
    if (!QFileInfo(entry).isFile()) return std::nullopt;
    const QString ext = MediaIdentifier::extension(entry);
    QString time;
    static const QStringList mpeg{".mp3", ".mp2", ".rmp", ".mp1"};
    if (mpeg.contains(ext)) {
        const qint64 offset = MediaIdentifier::startOffset(entry);
        const qint32 ms = offset >= 0 && length ? length(entry, offset) : 0;
        time = Playlist::timeText(ms);
    }
    SongTag tag;
    if (!tag.readTexts(entry, text) || (time.isEmpty() && !tag.hasTexts())) return std::nullopt;
    QString title = tag.title;
    if (!tag.artist.isEmpty()) title += QStringLiteral(" / ") + tag.artist;
    return title + time;
}

void TitleReader::run() {
    for (;;) {
        Job job;
        LegacyText::Choice text;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            job = std::move(queue_.back());  // the newest first
            queue_.pop_back();
            queued_.erase(job.entry);
            text = text_;
        }
        std::optional<QString> title = tagTitle(job.entry, length_, text);
        QMetaObject::invokeMethod(
            context_,
            [this, entry = job.entry, row = job.rowHint, title = std::move(title)] {
                result_(entry, row, title);
            },
            Qt::QueuedConnection);
    }
}

}  // namespace ombrix
