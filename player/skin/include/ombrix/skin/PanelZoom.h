#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>

namespace ombrix {

/**
 * @brief How large the panel is shown: a fixed number of screen pixels per panel pixel (1, 2
 *        or 3), or following the screen's device pixel ratio. The panel's own arithmetic (hit
 *        tests, faders) stays in panel pixels; this class turns window coordinates into panel
 *        pixels and panel rectangles into window rectangles.
 *
 * "Window" coordinates are Qt's logical pixels. A fixed zoom Z on a screen of device pixel
 * ratio R shows the panel at Z / R logical pixels per panel pixel, i.e. Z device pixels.
 * Thread affinity: a value type.
 */
class PanelZoom {
public:
    static constexpr int kFollowScreen = 0;
    static constexpr int kLargest = 3;

    /// @p setting as stored (`panelzoom`); values outside 0..3 follow the screen.
    explicit PanelZoom(int setting = kFollowScreen, qreal devicePixelRatio = 1.0);

    /// A stored value held to the known choices.
    static int validSetting(int setting) noexcept;

    int setting() const noexcept { return setting_; }
    /// Logical pixels per panel pixel. A fixed zoom puts a whole number of device pixels on
    /// each panel pixel, so the picture is enlarged without smoothing (crisp blocks).
    qreal scale() const noexcept { return scale_; }

    /// The panel pixel under window point @p p.
    QPoint toPanel(QPointF p) const;
    QSize toWindow(QSize panelSize) const;
    QRect toWindow(const QRect& panelRect) const;
    QRect toPanel(const QRect& windowRect) const;

private:
    int setting_;
    qreal scale_;
};

}  // namespace ombrix
