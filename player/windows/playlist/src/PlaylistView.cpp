#include "ombrix/windows/playlist/PlaylistView.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <algorithm>

namespace ombrix {

namespace {
const QString kRowsMime = QStringLiteral("application/x-ombrix-playlist-rows");
/// Longest path taken from a drop.
constexpr int kMaxDroppedPath = 4096;
}  // namespace

PlaylistView::PlaylistView(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    // The window sorts the list itself when a column header is clicked.
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(-1, Qt::AscendingOrder);
    header()->setStretchLastSection(false);
}

std::vector<int> PlaylistView::selectedRows() const {
    std::vector<int> rows;
    if (!selectionModel()) return rows;
    // Ranges, not indexes: "select all" over 100,000 rows stays one range.
    for (const QItemSelectionRange& r : selectionModel()->selection())
        for (int row = r.top(); row <= r.bottom(); ++row) rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int PlaylistView::currentRow() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() : -1;
}

void PlaylistView::selectRow(int row) {
    if (!model() || !selectionModel()) return;
    if (row < 0 || row >= model()->rowCount()) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex i = model()->index(row, 0);
    selectionModel()->setCurrentIndex(
        i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(i);
}

int PlaylistView::dropRow(const QPoint& pos) const {
    const QModelIndex i = indexAt(pos);
    if (i.isValid()) return i.row();
    return model() ? std::max(0, model()->rowCount() - 1) : 0;
}

void PlaylistView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(kRowsMime) || event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void PlaylistView::dragMoveEvent(QDragMoveEvent* event) {
    QTreeView::dragMoveEvent(event);
    if (event->mimeData()->hasFormat(kRowsMime) || event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void PlaylistView::dropEvent(QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    const int target = dropRow(event->position().toPoint());
    if (data->hasFormat(kRowsMime)) {
        std::vector<int> rows;
        for (const QByteArray& part : data->data(kRowsMime).split(' '))
            if (bool ok = false; !part.isEmpty()) {
                const int row = part.toInt(&ok);
                if (ok) rows.push_back(row);
            }
        event->setDropAction(Qt::CopyAction);  // the view must not delete the rows itself
        event->accept();
        emit rowsDropped(rows, target);
        return;
    }
    if (data->hasUrls()) {
        QStringList paths;
        for (const QUrl& url : data->urls())
            if (url.isLocalFile() && url.toLocalFile().size() <= kMaxDroppedPath)
                paths << url.toLocalFile();
        event->acceptProposedAction();
        if (!paths.isEmpty()) emit pathsDropped(paths);
        return;
    }
    event->ignore();
}

void PlaylistView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Delete:
            emit deleteRequested();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit playRequested();
            return;
        default:
            QTreeView::keyPressEvent(event);
    }
}

void PlaylistView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        const QModelIndex i = indexAt(event->position().toPoint());
        if (i.isValid() && !selectionModel()->isSelected(i)) selectRow(i.row());
        return;
    }
    QTreeView::mousePressEvent(event);
}

}  // namespace ombrix
