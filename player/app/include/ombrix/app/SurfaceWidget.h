#pragma once

#include <QWidget>
#include <functional>

#include "ombrix/skin/PanelZoom.h"

class QImage;

namespace ombrix {

/**
 * @brief Shows one picture of the panel (a drawing surface or the screen's composed picture)
 *        at the panel's zoom and hands its mouse events on in image pixels.
 *
 * The picture is enlarged by nearest-neighbour sampling (never smoothed), so a zoom of 2 or 3
 * or a device pixel ratio of 2 shows whole-pixel blocks; mouse positions are divided by the
 * zoom, so handlers always see image pixels.
 * Thread affinity: main thread.
 */
class SurfaceWidget final : public QWidget {
public:
    /// OtherPress: a button other than the left and the right one (the middle button).
    enum class Event { Press, RightPress, OtherPress, Move, Release, RightRelease, DoubleClick };
    using Handler = std::function<void(Event, QPoint)>;

    explicit SurfaceWidget(QWidget* parent = nullptr);

    /// The picture to show (not owned; it must outlive the box or be replaced first).
    void setPicture(const QImage* picture) { picture_ = picture; }
    void setHandler(Handler handler) { handler_ = std::move(handler); }
    /// Shows the picture at @p zoom; the widget's geometry is the caller's.
    void setZoom(const PanelZoom& zoom);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void send(Event e, QMouseEvent* event);
    QPoint imagePoint(const QMouseEvent* event) const;

    const QImage* picture_ = nullptr;
    Handler handler_;
    PanelZoom zoom_;
};

}  // namespace ombrix
