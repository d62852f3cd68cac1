#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <cstdint>

namespace ombrix {

/**
 * @brief A drawing surface: an 8-bit image with a colour table, or a 16- or 32-bit one, with
 *        one saved copy of its pixels (the background) and the area changed since the owner
 *        last asked.
 *
 * Rows are addressed as stored by the frame buffers of the screen: storedRow(0) is the lowest
 * row on screen. QImage keeps rows top-down; storedRow() does the turn, so bottom-up buffers
 * are copied row by row without a per-pixel cost.
 * Thread affinity: main thread. Never throws (a failed allocation leaves a null image).
 */
class DrawingSurface {
public:
    DrawingSurface(int width, int height, int bitsPerPixel);

    int width() const noexcept { return image_.width(); }
    int height() const noexcept { return image_.height(); }
    int bitsPerPixel() const noexcept { return bits_; }
    QImage& image() noexcept { return image_; }
    const QImage& image() const noexcept { return image_; }

    /// Resizes the surface (contents cleared to black, the background dropped).
    void resize(int width, int height);
    /// Row @p y counted from the bottom; nullptr outside the surface.
    uchar* storedRow(int y) noexcept;
    /// The colour table of an 8-bit surface (up to 256 entries).
    void setColorTable(const QList<QRgb>& colors);

    void saveBackground();
    void restoreBackground();
    void freeBackground() noexcept;
    bool hasBackground() const noexcept { return !background_.isNull(); }

    /// Copies @p from of @p source to @p to of this surface, clipped to both.
    void copyFrom(const QImage& source, const QRect& from, const QPoint& to);
    /// Copies a bottom-up frame of width x height bytes into an 8-bit surface; with
    /// @p useBlitra through MMXBlit.
    void copyFrame(const uint8_t* frame, bool useBlitra);

    /// Marks @p area as changed.
    void touch(const QRect& area) { dirty_ |= area & image_.rect(); }
    void touchAll() { dirty_ = image_.rect(); }
    /// The area changed since the last call (empty when none).
    QRect takeDirty() noexcept { return std::exchange(dirty_, QRect()); }

private:
    QImage image_;
    QImage background_;
    int bits_;
    QRect dirty_;
};

}  // namespace ombrix
