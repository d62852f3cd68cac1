#include "ombrix/windows/playlist/SongInfoReader.h"

#include <QFileInfo>

#include "ombrix/library/SongTag.h"
#include "ombrix/media/MediaIdentifier.h"

namespace ombrix {

SongInfoReader::SongInfoReader(QObject* context, SongLengthFn length, Delivery delivered)
    : context_(context), length_(std::move(length)), delivered_(std::move(delivered)) {
    thread_ = std::thread([this] { run(); });
}

SongInfoReader::~SongInfoReader() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

void SongInfoReader::setTagText(const LegacyText::Choice& text) {
    std::lock_guard lock(mutex_);
    text_ = text;
}

void SongInfoReader::request(const QString& entry, int rowHint) {
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

void SongInfoReader::cancelQueued() {
    std::lock_guard lock(mutex_);
    queue_.clear();
    queued_.clear();
}

bool SongInfoReader::readsTags(const QString& entry) {
    if (entry.startsWith(QLatin1String("http"))) return false;
    const QString ext = MediaIdentifier::extension(entry);
    // Archive members ("x.zip3") are read only once they are unpacked for playing.
    return ext != QLatin1String(".cda") && !ext.startsWith(QLatin1String(".zip")) &&
           !ext.startsWith(QLatin1String(".lzh"));
}

QString SongInfoReader::plainTitle(const QString& entry) {
    const QString name = entry.mid(entry.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

SongInfo SongInfoReader::read(const QString& entry, const SongLengthFn& length,
                              const LegacyText::Choice& text) {
    SongInfo info;
    info.title = plainTitle(entry);
    if (!readsTags(entry) || !QFileInfo(entry).isFile()) return info;
    static const QStringList mpeg{".mp3", ".mp2", ".rmp", ".mp1"};
    if (mpeg.contains(MediaIdentifier::extension(entry)) && length) {
        const qint64 offset = MediaIdentifier::startOffset(entry);
        if (offset >= 0) info.lengthMs = std::max<qint32>(0, length(entry, offset));
    }
    SongTag tag;
    if (!tag.readTexts(entry, text)) return info;
    if (info.lengthMs == 0 && tag.lengthMs > 0) info.lengthMs = tag.lengthMs;
    if (!tag.hasTexts()) return info;
    const QString title = SongTag::rightTrim(tag.title);
    if (!title.isEmpty()) info.title = title;
    info.artist = SongTag::rightTrim(tag.artist);
    info.album = SongTag::rightTrim(tag.album);
    return info;
}

void SongInfoReader::run() {
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
        SongInfo info = read(job.entry, length_, text);
        std::lock_guard lock(mutex_);
        done_.push_back({std::move(job.entry), job.rowHint, std::move(info)});
        if (deliveryPosted_) continue;
        deliveryPosted_ = true;
        // The call dies with the context, which owns this reader.
        QMetaObject::invokeMethod(
            context_, [this] { deliver(); }, Qt::QueuedConnection);
    }
}

void SongInfoReader::deliver() {
    std::vector<Result> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(done_);
        deliveryPosted_ = false;
    }
    if (!batch.empty()) delivered_(std::move(batch));
}

}  // namespace ombrix
