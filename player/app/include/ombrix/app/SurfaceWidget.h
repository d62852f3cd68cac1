#pragma once

#include <QWidget>
#include <functional>

class QImage;

namespace ombrix {

/**
 * @brief Shows one picture of the panel (a drawing surface or the screen's composed picture)
 *        at its size in image pixels and hands its mouse events on in image pixels.
 *
 * On a screen with a device pixel ratio of 2 or more the picture is enlarged by whole pixels
 * (nearest-neighbour sampling, never smoothed); mouse positions stay image pixels because the
 * widget's logical size is the picture's size.
 * Thread affinity: main thread.
 */
class SurfaceWidget final : public QWidget {
public:
    enum class Event { Press, RightPress, Move, Release, RightRelease, DoubleClick };
    using Handler = std::function<void(Event, QPoint)>;

    explicit SurfaceWidget(QWidget* parent = nullptr);

    /// The picture to show (not owned; it must outlive the box or be replaced first).
    void setPicture(const QImage* picture) { picture_ = picture; }
    void setHandler(Handler handler) { handler_ = std::move(handler); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void send(Event e, QMouseEvent* event);

    const QImage* picture_ = nullptr;
    Handler handler_;
};

}  // namespace ombrix
