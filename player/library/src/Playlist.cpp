#include "ombrix/library/Playlist.h"

#include <QFileInfo>
#include <QMimeData>
#include <algorithm>
#include <utility>

#include "ombrix/library/DiscTitles.h"
#include "ombrix/library/TitleReader.h"
#include "ombrix/media/MediaIdentifier.h"

namespace ombrix {

namespace {
const QString kRowsMime = QStringLiteral("application/x-ombrix-playlist-rows");

QString fileNameOf(const QString& entry) {
    return entry.mid(entry.lastIndexOf(QLatin1Char('/')) + 1);
}

bool isUrl(const QString& entry) {
    return entry.startsWith(QLatin1String("http"));
}

std::vector<int> uniqueSorted(std::vector<int> rows, qsizetype count) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(
        std::remove_if(rows.begin(), rows.end(), [count](int r) { return r < 0 || r >= count; }),
        rows.end());
    return rows;
}
}  // namespace

Playlist::Playlist(bool preloadTag, SongLengthFn length, QObject* parent)
    : QAbstractListModel(parent), preloadTag_(preloadTag), length_(std::move(length)) {
    reader_ = std::make_unique<TitleReader>(
        this, length_, [this](const QString& entry, int row, const std::optional<QString>& title) {
            titleRead(entry, row, title);
        });
}

// The reader is joined before the QObject part goes; its queued results die with this object.
Playlist::~Playlist() = default;

void Playlist::setPreloadTag(bool on) {
    if (preloadTag_ == on) return;
    preloadTag_ = on;
    if (!entries_.isEmpty()) emit dataChanged(index(0), index(int(entries_.size()) - 1));
}

void Playlist::discChanged() {
    if (!entries_.isEmpty()) emit dataChanged(index(0), index(int(entries_.size()) - 1));
}

void Playlist::setTagText(const LegacyText::Choice& text) {
    tagText_ = text;
    reader_->setTagText(text);
}

QString Playlist::quickTitle(const QString& entry, bool* needsTags) const {
    *needsTags = false;
    if (isUrl(entry)) return entry;
    const QString ext = MediaIdentifier::extension(entry);
    if (ext == QLatin1String(".cda")) {
        qint32 ms = 0;
        const QString text = cdTrackText(entry, disc_, &ms);
        return text + timeText(ms);
    }
    if (const auto it = cache_.constFind(entry); it != cache_.constEnd()) return *it;
    *needsTags = !untagged_.contains(entry);
    return fileNameOf(entry);
}

QString Playlist::titleAt(qsizetype row) const {
    if (row < 0 || row >= entries_.size()) return {};
    bool needsTags = false;
    return quickTitle(entries_[row], &needsTags);
}

QStringList Playlist::displayTitles() const {
    QStringList titles;
    titles.reserve(entries_.size());
    for (qsizetype i = 0; i < entries_.size(); ++i) titles.append(titleAt(i));
    return titles;
}

int Playlist::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(entries_.size());
}

QVariant Playlist::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= entries_.size()) return {};
    const QString& entry = entries_[index.row()];
    if (role == kEntryRole || role == Qt::ToolTipRole) return entry;
    if (role != Qt::DisplayRole) return {};
    bool needsTags = false;
    QString title = quickTitle(entry, &needsTags);
    // Only the rows being shown are asked for, so a huge list reads only what is seen.
    if (needsTags && preloadTag_) reader_->request(entry, index.row());
    return title;
}

void Playlist::titleRead(const QString& entry, int rowHint, const std::optional<QString>& title) {
    if (title)
        cache_.insert(entry, *title);
    else
        untagged_.insert(entry);
    if (!title) return;
    if (rowHint >= 0 && rowHint < entries_.size() && entries_[rowHint] == entry) {
        emit dataChanged(index(rowHint), index(rowHint), {Qt::DisplayRole});
    } else if (!entries_.isEmpty()) {
        // The row moved meanwhile: the view repaints what it shows, which is cheap.
        emit dataChanged(index(0), index(int(entries_.size()) - 1), {Qt::DisplayRole});
    }
}

Qt::ItemFlags Playlist::flags(const QModelIndex& index) const {
    const Qt::ItemFlags base = QAbstractListModel::flags(index);
    return index.isValid() ? base | Qt::ItemIsDragEnabled : base | Qt::ItemIsDropEnabled;
}

Qt::DropActions Playlist::supportedDropActions() const {
    return Qt::MoveAction | Qt::CopyAction;
}

QStringList Playlist::mimeTypes() const {
    return {kRowsMime, QStringLiteral("text/uri-list")};
}

QMimeData* Playlist::mimeData(const QModelIndexList& indexes) const {
    QByteArray rows;
    for (const QModelIndex& i : indexes) rows += QByteArray::number(i.row()) + ' ';
    auto data = std::make_unique<QMimeData>();
    data->setData(kRowsMime, rows);
    return data.release();  // the drag takes ownership
}

void Playlist::add(const QString& entry) {
    const int row = int(entries_.size());
    beginInsertRows({}, row, row);
    entries_.append(entry);
    endInsertRows();
}

void Playlist::addEntries(const QStringList& entries) {
    if (entries.isEmpty()) return;
    const int first = int(entries_.size());
    beginInsertRows({}, first, first + int(entries.size()) - 1);
    entries_.append(entries);
    endInsertRows();
}

void Playlist::replaceAll(QStringList entries) {
    reader_->cancelQueued();
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

void Playlist::setEntries(const QStringList& entries) {
    untagged_.clear();
    replaceAll(entries);
}

void Playlist::move(qsizetype from, qsizetype to) {
    if (from < 0 || to < 0 || from >= entries_.size() || to >= entries_.size() || from == to)
        return;
    // Qt counts the destination before the move: one past the target when moving down.
    const int destination = int(to > from ? to + 1 : to);
    beginMoveRows({}, int(from), int(from), {}, destination);
    entries_.move(from, to);
    endMoveRows();
}

qsizetype Playlist::moveRows(std::vector<int> rows, qsizetype to) {
    rows = uniqueSorted(std::move(rows), entries_.size());
    if (rows.empty()) return -1;
    const qsizetype remaining = entries_.size() - qsizetype(rows.size());
    to = std::clamp<qsizetype>(to, 0, remaining);
    const bool contiguous = rows.back() - rows.front() + 1 == int(rows.size());
    if (contiguous) {
        const int first = rows.front(), last = rows.back();
        if (to == first) return to;
        // Destination in the list before the move.
        const int destination = int(to < first ? to : to + qsizetype(rows.size()));
        beginMoveRows({}, first, last, {}, destination);
        const QStringList block = entries_.mid(first, last - first + 1);
        entries_.remove(first, last - first + 1);
        entries_ = entries_.mid(0, to) + block + entries_.mid(to);
        endMoveRows();
        return to;
    }
    // Scattered rows: one layout change, with the view's selection carried along.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> order;  // order[new] = old
    order.reserve(std::size_t(entries_.size()));
    std::vector<char> moving(std::size_t(entries_.size()), 0);
    for (int r : rows) moving[std::size_t(r)] = 1;
    std::vector<int> rest;
    rest.reserve(std::size_t(remaining));
    for (int i = 0; i < entries_.size(); ++i)
        if (!moving[std::size_t(i)]) rest.push_back(i);
    order.insert(order.end(), rest.begin(), rest.begin() + to);
    order.insert(order.end(), rows.begin(), rows.end());
    order.insert(order.end(), rest.begin() + to, rest.end());
    std::vector<int> newRow(order.size());
    for (std::size_t n = 0; n < order.size(); ++n) newRow[std::size_t(order[n])] = int(n);
    entries_ = PlaylistOrder::permuted(entries_, order);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before) after.append(index(newRow[std::size_t(i.row())]));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    return to;
}

void Playlist::remove(qsizetype index) {
    if (index < 0 || index >= entries_.size()) return;
    beginRemoveRows({}, int(index), int(index));
    entries_.removeAt(index);
    endRemoveRows();
}

void Playlist::deleteRows(std::vector<int> rows) {
    rows = uniqueSorted(std::move(rows), entries_.size());
    // From the end, one signal per run of neighbouring rows.
    for (auto it = rows.rbegin(); it != rows.rend();) {
        const int last = *it;
        int first = last;
        while (++it != rows.rend() && *it == first - 1) first = *it;
        beginRemoveRows({}, first, last);
        entries_.remove(first, last - first + 1);
        endRemoveRows();
    }
}

void Playlist::clear() {
    replaceAll({});
}

QString Playlist::timeText(qint64 ms) {
    const qint64 seconds = ms / 1000;
    return QStringLiteral(" (%1:%2)").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString Playlist::cdTrackText(const QString& entry, const DiscTitles* disc, qint32* lengthMs) {
    const int track = DiscTitles::trackNumber(entry);
    if (lengthMs) *lengthMs = 0;
    if (!disc || track < 1 || track > disc->trackCount()) return QStringLiteral("not found");
    QString text = disc->trackTitle(track);
    const QString extended = disc->trackExtended(track);
    if (!extended.isEmpty()) text += QStringLiteral(" / ") + extended;
    if (lengthMs) *lengthMs = disc->trackLengthMs(track);
    return text;
}

QString Playlist::buildTitle(const QString& entry, bool useTags) {
    bool needsTags = false;
    const QString quick = quickTitle(entry, &needsTags);
    if (!useTags || isUrl(entry) || MediaIdentifier::extension(entry) == QLatin1String(".cda") ||
        cache_.contains(entry))
        return quick;
    // A file that cannot be read keeps its plain name and is not cached, so that it gets a
    // real title once it can be read.
    const auto title = TitleReader::tagTitle(entry, length_, tagText_);
    if (!title) return quick;
    cache_.insert(entry, *title);
    untagged_.remove(entry);
    return *title;
}

void Playlist::refreshTitle(qsizetype row) {
    if (row < 0 || row >= entries_.size()) return;
    const QString before = titleAt(row);
    if (buildTitle(entries_[row], true) != before)
        emit dataChanged(index(int(row)), index(int(row)), {Qt::DisplayRole});
}

void Playlist::shuffle(const PlaylistOrder::Random& random) {
    replaceAll(PlaylistOrder::permuted(entries_,
                                       PlaylistOrder::shuffleOrder(int(entries_.size()), random)));
}

void Playlist::sort() {
    replaceAll(PlaylistOrder::permuted(entries_, PlaylistOrder::sortOrder(entries_)));
}

}  // namespace ombrix
