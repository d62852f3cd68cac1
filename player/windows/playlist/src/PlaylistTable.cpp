#include "ombrix/windows/playlist/PlaylistTable.h"

#include <QMimeData>
#include <algorithm>
#include <climits>
#include <set>

#include "ombrix/library/DiscTitles.h"
#include "ombrix/library/Playlist.h"
#include "ombrix/library/PlaylistOrder.h"

namespace ombrix {

PlaylistTable::PlaylistTable(Playlist& list, SongLengthFn length, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
    reader_ = std::make_unique<SongInfoReader>(
        this, std::move(length),
        [this](std::vector<SongInfoReader::Result> batch) { arrived(std::move(batch)); });
    follow();
}

// The reader is joined before the QObject part goes; a batch still queued dies with it.
PlaylistTable::~PlaylistTable() = default;

void PlaylistTable::setTagText(const LegacyText::Choice& text) {
    reader_->setTagText(text);
}

void PlaylistTable::follow() {
    using M = QAbstractItemModel;
    connect(&list_, &M::rowsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) { beginInsertRows({}, first, last); });
    connect(&list_, &M::rowsInserted, this, [this] { endInsertRows(); });
    connect(&list_, &M::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { beginRemoveRows({}, first, last); });
    connect(&list_, &M::rowsRemoved, this, [this] { endRemoveRows(); });
    connect(&list_, &M::rowsAboutToBeMoved, this,
            [this](const QModelIndex&, int first, int last, const QModelIndex&, int to) {
                beginMoveRows({}, first, last, {}, to);
            });
    connect(&list_, &M::rowsMoved, this, [this] { endMoveRows(); });
    connect(&list_, &M::modelAboutToBeReset, this, [this] {
        reader_->cancelQueued();
        beginResetModel();
    });
    connect(&list_, &M::modelReset, this, [this] { endResetModel(); });
    // A scattered move rearranges the list in one step: the view's indexes (selection,
    // current row) ride on indexes of the list, which the list itself carries along.
    connect(&list_, &M::layoutAboutToBeChanged, this, [this] {
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        layoutBefore_ = persistentIndexList();
        layoutSources_.clear();
        for (const QModelIndex& i : layoutBefore_) layoutSources_.append(list_.index(i.row()));
    });
    connect(&list_, &M::layoutChanged, this, [this] {
        QModelIndexList after;
        after.reserve(layoutBefore_.size());
        for (qsizetype k = 0; k < layoutBefore_.size(); ++k)
            after.append(layoutSources_[k].isValid()
                             ? index(layoutSources_[k].row(), layoutBefore_[k].column())
                             : QModelIndex());
        changePersistentIndexList(layoutBefore_, after);
        layoutBefore_.clear();
        layoutSources_.clear();
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    });
    connect(&list_, &M::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last) {
                emit dataChanged(index(first.row(), 0), index(last.row(), kColumnCount - 1));
            });
}

QString PlaylistTable::lengthText(qint32 ms) {
    const qint32 seconds = ms / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString PlaylistTable::shownText(int row, int column) const {
    if (row < 0 || row >= list_.count()) return {};
    const QString& entry = list_.entries()[row];
    // A CD track of the disc in the drive: its record's title, extended text, disc title and
    // length in the columns.
    const DiscTitles* disc = list_.disc();
    const int track = disc ? DiscTitles::trackNumber(entry) : 0;
    if (track >= 1 && track <= disc->trackCount() && entry.endsWith(QLatin1String(".cda"))) {
        switch (column) {
            case kTitle:
                return disc->trackTitle(track);
            case kArtist:
                return disc->trackExtended(track);
            case kAlbum:
                return disc->discTitle();
            case kLength:
                return lengthText(disc->trackLengthMs(track));
            default:
                return {};
        }
    }
    const auto it = info_.constFind(entry);
    const bool known = it != info_.constEnd();
    switch (column) {
        case kTitle:
            if (known) return it->title;
            // Web addresses, CD tracks and archive members have the list's own titles.
            return SongInfoReader::readsTags(entry) ? SongInfoReader::plainTitle(entry)
                                                    : list_.titleAt(row);
        case kArtist:
            return known ? it->artist : QString();
        case kAlbum:
            return known ? it->album : QString();
        case kLength:
            return known && it->lengthMs > 0 ? lengthText(it->lengthMs) : QString();
        default:
            return {};
    }
}

std::optional<SongInfo> PlaylistTable::info(const QString& entry) const {
    const auto it = info_.constFind(entry);
    if (it == info_.constEnd()) return std::nullopt;
    return *it;
}

void PlaylistTable::forgetInfo() {
    reader_->cancelQueued();
    info_.clear();
    if (list_.count() > 0)
        emit dataChanged(index(0, 0), index(int(list_.count()) - 1, kColumnCount - 1));
}

std::vector<int> PlaylistTable::sortOrder(int column, Qt::SortOrder order) const {
    const int n = int(list_.count());
    std::vector<int> rows;
    if (column == kLength) {
        rows.resize(std::size_t(n));
        std::vector<qint32> ms(std::size_t(n), 0);
        for (int r = 0; r < n; ++r) {
            rows[std::size_t(r)] = r;
            if (const auto it = info_.constFind(list_.entries()[r]); it != info_.constEnd())
                ms[std::size_t(r)] = it->lengthMs;
        }
        std::stable_sort(rows.begin(), rows.end(),
                         [&ms](int a, int b) { return ms[std::size_t(a)] < ms[std::size_t(b)]; });
    } else {
        QStringList keys;
        keys.reserve(n);
        for (int r = 0; r < n; ++r) keys.append(shownText(r, column));
        rows = PlaylistOrder::sortOrder(keys);
    }
    if (order == Qt::DescendingOrder) std::reverse(rows.begin(), rows.end());
    return rows;
}

void PlaylistTable::arrived(std::vector<SongInfoReader::Result> batch) {
    const int n = int(list_.count());
    int first = INT_MAX, last = -1;
    for (SongInfoReader::Result& r : batch) {
        if (r.rowHint >= 0 && r.rowHint < n && list_.entries()[r.rowHint] == r.entry) {
            first = std::min(first, r.rowHint);
            last = std::max(last, r.rowHint);
        } else {
            // The entry moved meanwhile: the view repaints what it shows, which is cheap.
            first = 0;
            last = n - 1;
        }
        info_.insert(r.entry, std::move(r.info));
    }
    if (n > 0 && last >= first)
        emit dataChanged(index(first, 0), index(last, kColumnCount - 1), {Qt::DisplayRole});
}

int PlaylistTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(list_.count());
}

int PlaylistTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant PlaylistTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.count()) return {};
    const QString& entry = list_.entries()[index.row()];
    switch (role) {
        case Playlist::kEntryRole:
        case Qt::ToolTipRole:
            return entry;
        case Qt::TextAlignmentRole:
            return index.column() == kLength ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
                                             : QVariant();
        case Qt::DisplayRole:
            // Only the rows on screen are asked for, so a huge list reads only what is seen.
            if (SongInfoReader::readsTags(entry) && !info_.contains(entry))
                reader_->request(entry, index.row());
            return shownText(index.row(), index.column());
        default:
            return {};
    }
}

QVariant PlaylistTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
    switch (role) {
        case Qt::DisplayRole: {
            static const char* const names[] = {"Title", "Artist", "Album", "Length"};
            return QString::fromLatin1(names[section]);
        }
        case Qt::InitialSortOrderRole:
            return int(Qt::AscendingOrder);
        case Qt::TextAlignmentRole:
            return int(section == kLength ? Qt::AlignRight | Qt::AlignVCenter
                                          : Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

Qt::ItemFlags PlaylistTable::flags(const QModelIndex& index) const {
    return list_.flags(index.isValid() ? list_.index(index.row()) : QModelIndex());
}

Qt::DropActions PlaylistTable::supportedDropActions() const {
    return list_.supportedDropActions();
}

QStringList PlaylistTable::mimeTypes() const {
    return list_.mimeTypes();
}

QMimeData* PlaylistTable::mimeData(const QModelIndexList& indexes) const {
    // A selected row is selected in every column: each row goes once.
    std::set<int> rows;
    for (const QModelIndex& i : indexes) rows.insert(i.row());
    QModelIndexList sources;
    for (int r : rows) sources.append(list_.index(r));
    return list_.mimeData(sources);
}

}  // namespace ombrix
