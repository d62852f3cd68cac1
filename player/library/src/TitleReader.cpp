#include "ombrix/library/TitleReader.h"

#include <QFileInfo>
#include <QPointer>

#include "ombrix/library/Playlist.h"
#include "ombrix/library/SongTag.h"
#include "ombrix/media/MediaIdentifier.h"

namespace ombrix {

TitleReader::TitleReader(QObject* context, SongLengthFn length, Result result)
    : context_(context),
      length_(std::move(length)),
      result_(std::move(result)),
      worker_([this](const QString& entry, int rowHint) { work(entry, rowHint); }) {}

TitleReader::~TitleReader() = default;

void TitleReader::setTagText(const LegacyText::Choice& text) {
    std::lock_guard lock(textMutex_);
    text_ = text;
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

void TitleReader::work(const QString& entry, int rowHint) {
    LegacyText::Choice text;
    {
        std::lock_guard lock(textMutex_);
        text = text_;
    }
    std::optional<QString> title = tagTitle(entry, length_, text);
    QMetaObject::invokeMethod(
        context_, [this, entry, rowHint, title = std::move(title)] { result_(entry, rowHint, title); },
        Qt::QueuedConnection);
}

}  // namespace ombrix
