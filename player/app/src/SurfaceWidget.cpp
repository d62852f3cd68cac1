#include "ombrix/app/SurfaceWidget.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace ombrix {

SurfaceWidget::SurfaceWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void SurfaceWidget::setZoom(const PanelZoom& zoom) {
    zoom_ = zoom;
    update();
}

void SurfaceWidget::paintEvent(QPaintEvent* event) {
    if (!picture_) return;
    QPainter p(this);
    // No smoothing: every image pixel becomes a block of whole device pixels (the zoom, or the
    // device pixel ratio when following the screen).
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (zoom_.scale() == 1.0) {
        const QRect r = event->rect();
        p.drawImage(r, *picture_, r);
        return;
    }
    // Whole image pixels around the area to paint, drawn at their zoomed place.
    const QRect source = zoom_.toPanel(event->rect()).intersected(picture_->rect());
    p.drawImage(QRectF(source.left() * zoom_.scale(), source.top() * zoom_.scale(),
                       source.width() * zoom_.scale(), source.height() * zoom_.scale()),
                *picture_, source);
}

QPoint SurfaceWidget::imagePoint(const QMouseEvent* event) const {
    return zoom_.toPanel(event->position());
}

void SurfaceWidget::send(Event e, QMouseEvent* event) {
    event->accept();
    if (handler_) handler_(e, imagePoint(event));
}

void SurfaceWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        send(Event::Press, event);
    } else if (event->button() == Qt::RightButton) {
        if (handler_) handler_(Event::RightPress, imagePoint(event));
        // The window's context menu takes the right button.
        event->ignore();
    } else {
        send(Event::OtherPress, event);
    }
}

void SurfaceWidget::mouseMoveEvent(QMouseEvent* event) {
    send(Event::Move, event);
}

void SurfaceWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        send(Event::Release, event);
    else if (event->button() == Qt::RightButton) {
        if (handler_) handler_(Event::RightRelease, imagePoint(event));
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
