#pragma once

#include <QStringList>
#include <QTreeView>
#include <vector>

namespace ombrix {

/**
 * @brief The playlist window's list: a flat view of the playlist's columns (uniform rows, so
 *        100,000 entries scroll without measuring them; whole rows are selected) that turns
 *        drops and keys into requests for the window.
 *
 * An entry dragged inside the list is moved to the row under the pointer, or to the last row
 * when dropped below the end; files and folders dropped from the desktop are handed over as
 * local paths. The right mouse button selects the row under it before the context menu.
 * Thread affinity: main thread.
 */
class PlaylistView final : public QTreeView {
    Q_OBJECT
public:
    explicit PlaylistView(QWidget* parent = nullptr);

    /// The selected rows in ascending order.
    std::vector<int> selectedRows() const;
    /// The current row, or -1.
    int currentRow() const;
    /// Selects @p row alone, makes it current and scrolls to it (-1 clears the selection).
    void selectRow(int row);
    /// The row a drop at @p pos goes to: the row under it, else the last row.
    int dropRow(const QPoint& pos) const;

signals:
    void rowsDropped(const std::vector<int>& rows, int targetRow);
    void pathsDropped(const QStringList& paths);
    void deleteRequested();
    void playRequested();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace ombrix
