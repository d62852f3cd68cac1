#include "ombrix/TPlayList.h"

#include <QFileInfo>
#include <utility>

#include "ombrix/DiscTitles.h"
#include "ombrix/MediaIdentifier.h"
#include "ombrix/Tidtag.h"

namespace ombrix {

TPlayList::TPlayList(bool preloadTag, SongLengthFn length)
    : preloadTag_(preloadTag), length_(std::move(length)) {}

void TPlayList::Add(const QString& entry) {
    const QString title = BuildTitle(entry, preloadTag_);
    entries_.append(entry);
    const int row = display_.rowCount();
    display_.insertRows(row, 1);
    display_.setData(display_.index(row), title);
}

void TPlayList::AddEntries(const QStringList& entries) {
    QStringList titles;
    titles.reserve(entries.size());
    for (const QString& e : entries) titles.append(BuildTitle(e, preloadTag_));
    entries_.append(entries);
    // One model reset instead of a row insertion per entry.
    display_.setStringList(display_.stringList() + titles);
}

void TPlayList::Move(qsizetype from, qsizetype to) {
    if (from < 0 || to < 0 || from >= entries_.size() || to >= entries_.size() || from == to)
        return;
    entries_.move(from, to);
    QStringList titles = display_.stringList();
    titles.move(from, to);
    display_.setStringList(titles);
}

void TPlayList::Delete(qsizetype index) {
    if (index < 0 || index >= entries_.size()) return;
    entries_.removeAt(index);
    display_.removeRows(int(index), 1);
}

void TPlayList::Clear() {
    entries_.clear();
    display_.setStringList({});
}

QString TPlayList::timeText(qint64 ms) {
    const qint64 seconds = ms / 1000;
    return QStringLiteral(" (%1:%2)").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString TPlayList::cdTrackText(const QString& entry, const DiscTitles* disc, qint32* lengthMs) {
    const int track = DiscTitles::trackNumber(entry);
    if (lengthMs) *lengthMs = 0;
    if (!disc || track < 1 || track > disc->trackCount()) return QStringLiteral("not found");
    QString text = disc->trackTitle(track);
    const QString extended = disc->trackExtended(track);
    if (!extended.isEmpty()) text += QStringLiteral(" / ") + extended;
    if (lengthMs) *lengthMs = disc->trackLengthMs(track);
    return text;
}

QString TPlayList::BuildTitle(const QString& entry, bool useTags) {
    if (entry.startsWith(QLatin1String("http"))) return entry;
    const QString ext = MediaIdentifier::extension(entry);
    if (ext == QLatin1String(".cda")) {
        qint32 ms = 0;
        const QString text = cdTrackText(entry, disc_, &ms);
        return text + timeText(ms);
    }
    const qsizetype cached = cachedPaths_.indexOf(entry);
    if (cached >= 0) return cachedTitles_[cached];

    const QString fileName = QFileInfo(entry).fileName();
    if (!useTags) return fileName;
    // A file that cannot be read keeps its plain name and is not cached, so that it gets a
    // real title once it can be read.
    if (!QFileInfo(entry).isFile()) return fileName;

    QString time;
    static const QStringList mpeg{".mp3", ".mp2", ".rmp", ".mp1"};
    if (mpeg.contains(ext)) {
        const qint64 offset = MediaIdentifier::startOffset(entry);
        const qint32 ms = offset >= 0 && length_ ? length_(entry, offset) : 0;
        time = timeText(ms);
    }
    Tidtag tag;
    if (!tag.readTexts(entry, tagText_) || (time.isEmpty() && !tag.hasTexts())) return fileName;
    QString title = tag.title;
    if (!tag.artist.isEmpty()) title += QStringLiteral(" / ") + tag.artist;
    title += time;
    cachedPaths_.append(entry);
    cachedTitles_.append(title);
    return title;
}

void TPlayList::shuffle(const PlaylistOrder::Random& random) {
    QStringList titles = display_.stringList();
    for (const auto& [from, to] : PlaylistOrder::shuffleMoves(int(entries_.size()), random)) {
        entries_.move(from, to);
        titles.move(from, to);
    }
    display_.setStringList(titles);
}

void TPlayList::sort() {
    const std::vector<int> order = PlaylistOrder::sortOrder(entries_);
    const QStringList titles = display_.stringList();
    QStringList sortedEntries, sortedTitles;
    for (int i : order) {
        sortedEntries.append(entries_[i]);
        sortedTitles.append(titles[i]);
    }
    entries_ = sortedEntries;
    display_.setStringList(sortedTitles);
}

}  // namespace ombrix
