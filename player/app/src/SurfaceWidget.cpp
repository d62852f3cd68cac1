#include "ombrix/app/SurfaceWidget.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace ombrix {

SurfaceWidget::SurfaceWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void SurfaceWidget::paintEvent(QPaintEvent* event) {
    if (!picture_) return;
    QPainter p(this);
    // No smoothing: at a device pixel ratio of 2 every image pixel becomes a 2 x 2 block.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRect r = event->rect();
    p.drawImage(r, *picture_, r);
}

void SurfaceWidget::send(Event e, QMouseEvent* event) {
    event->accept();
    if (handler_) handler_(e, event->position().toPoint());
}

void SurfaceWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        send(Event::Press, event);
    else if (event->button() == Qt::RightButton) {
        if (handler_) handler_(Event::RightPress, event->position().toPoint());
        // The window's context menu takes the right button.
        event->ignore();
    } else
        event->ignore();
}

void SurfaceWidget::mouseMoveEvent(QMouseEvent* event) {
    send(Event::Move, event);
}

void SurfaceWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        send(Event::Release, event);
    else if (event->button() == Qt::RightButton) {
        if (handler_) handler_(Event::RightRelease, event->position().toPoint());
        event->ignore();
    }
}

void SurfaceWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        send(Event::DoubleClick, event);
    else
        event->ignore();
}

}  // namespace ombrix
