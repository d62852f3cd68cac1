#pragma once

#include <QRect>
#include <QString>

class QImage;

namespace ombrix {

class IniDocument;

/**
 * @brief One element of a panel: its rectangle in image pixels (right and bottom exclusive)
 *        and the flags the mouse handling keeps on it.
 *
 * Thread affinity: a value type. Never throws.
 */
class ButtonRect {
public:
    ButtonRect() = default;
    explicit ButtonRect(QString elementName) : name(std::move(elementName)) {}

    /// Reads name + "left", "top", "right", "bottom" from section "button"; the element is
    /// defined when any of them is non-zero. Values beyond the 32-bit range are cut to it.
    void read(const IniDocument& ini);
    /// True when enabled and the point lies inside; the hot flag takes the result.
    bool hitTest(int x, int y) noexcept;
    /// Copies the element's rectangle of @p source to the same place of @p target, clipped to
    /// both images.
    void draw(QImage& target, const QImage& source) const;
    /// The rectangle as a QRect (empty when inverted).
    QRect rect() const noexcept;
    /// Cuts the rectangle to (0, 0, width, height), so that no later arithmetic on it can leave
    /// the image's range.
    void clipTo(int width, int height) noexcept;

    qint32 Left = 0;
    qint32 Top = 0;
    qint32 Right = 0;
    qint32 Bottom = 0;
    bool hot = false;
    bool enabled = true;
    bool defined = false;
    QString name;
};

}  // namespace ombrix
