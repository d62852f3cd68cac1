#include "ombrix/skin/PanelZoom.h"

#include <cmath>

namespace ombrix {

PanelZoom::PanelZoom(int setting, qreal devicePixelRatio)
    : setting_(validSetting(setting)),
      scale_(setting_ == kFollowScreen
                 ? 1.0
                 : setting_ / (devicePixelRatio > 0 && std::isfinite(devicePixelRatio)
                                   ? devicePixelRatio
                                   : 1.0)) {}

int PanelZoom::validSetting(int setting) noexcept {
    return setting >= kFollowScreen && setting <= kLargest ? setting : kFollowScreen;
}

QPoint PanelZoom::toPanel(QPointF p) const {
    return QPoint(int(std::floor(p.x() / scale_)), int(std::floor(p.y() / scale_)));
}

QSize PanelZoom::toWindow(QSize panelSize) const {
    return QSize(int(std::ceil(panelSize.width() * scale_ - 1e-9)),
                 int(std::ceil(panelSize.height() * scale_ - 1e-9)));
}

QRect PanelZoom::toWindow(const QRect& r) const {
    const int left = int(std::floor(r.left() * scale_ + 1e-9));
    const int top = int(std::floor(r.top() * scale_ + 1e-9));
    const int right = int(std::ceil((r.left() + r.width()) * scale_ - 1e-9));
    const int bottom = int(std::ceil((r.top() + r.height()) * scale_ - 1e-9));
    return QRect(left, top, right - left, bottom - top);
}

QRect PanelZoom::toPanel(const QRect& r) const {
    const int left = int(std::floor(r.left() / scale_));
    const int top = int(std::floor(r.top() / scale_));
    const int right = int(std::ceil((r.left() + r.width()) / scale_));
    const int bottom = int(std::ceil((r.top() + r.height()) / scale_));
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace ombrix
