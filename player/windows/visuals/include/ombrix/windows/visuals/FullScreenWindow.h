#pragma once

#include <QWidget>

#include "ombrix/windows/visuals/FullScreenPicture.h"

namespace ombrix {

/**
 * @brief The full-screen window: shows FullScreenPicture over the whole screen with the cursor
 *        hidden; any key or mouse press closes it (closed() is emitted once, then the window
 *        deletes itself only if its owner asks; the owner keeps it in a unique_ptr).
 *
 * The display mode is never changed: the picture is enlarged instead.
 */
class FullScreenWindow : public QWidget {
    Q_OBJECT
public:
    explicit FullScreenWindow(QWidget* parent = nullptr);

    /// Covers the screen of @p near (or the primary screen) and shows itself.
    void open(const QWidget* near);
    void setFrame(const uint8_t* frame, const QList<QRgb>& palette, bool useBlitra);
    void setText(const FullScreenPicture::Text& text);
    const FullScreenPicture& picture() const noexcept { return picture_; }

signals:
    /// A key or a mouse press: the user wants the main window back.
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void finish();

    FullScreenPicture picture_;
    FullScreenPicture::Text text_;
    bool finished_ = false;
};

}  // namespace ombrix
