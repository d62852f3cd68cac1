#include "ombrix/windows/playlist/SongInfoReader.h"

#include <QFileInfo>

#include "ombrix/library/SongTag.h"
#include "ombrix/media/MediaIdentifier.h"

namespace ombrix {

SongInfoReader::SongInfoReader(QObject* context, SongLengthFn length, Delivery delivered)
    : context_(context),
      length_(std::move(length)),
      delivered_(std::move(delivered)),
      worker_([this](const QString& entry, int rowHint) { work(entry, rowHint); }) {}

SongInfoReader::~SongInfoReader() = default;

void SongInfoReader::setTagText(const LegacyText::Choice& text) {
    std::lock_guard lock(mutex_);
    text_ = text;
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

void SongInfoReader::work(const QString& entry, int rowHint) {
    LegacyText::Choice text;
    {
        std::lock_guard lock(mutex_);
        text = text_;
    }
    SongInfo info = read(entry, length_, text);
    std::lock_guard lock(mutex_);
    done_.push_back({entry, rowHint, std::move(info)});
    if (deliveryPosted_) return;
    deliveryPosted_ = true;
    // The call dies with the context, which owns this reader.
    QMetaObject::invokeMethod(context_, [this] { deliver(); }, Qt::QueuedConnection);
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
