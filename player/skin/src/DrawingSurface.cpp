#include "ombrix/skin/DrawingSurface.h"

#include <QPainter>
#include <cstring>

#include "blitra.h"

namespace ombrix {
namespace {

QImage::Format formatFor(int bits) {
    switch (bits) {
        case 8:
            return QImage::Format_Indexed8;
        case 16:
            return QImage::Format_RGB16;
        default:
            return QImage::Format_RGB32;
    }
}

}  // namespace

DrawingSurface::DrawingSurface(int width, int height, int bitsPerPixel)
    : bits_(bitsPerPixel == 8 || bitsPerPixel == 16 ? bitsPerPixel : 32) {
    resize(width, height);
}

void DrawingSurface::resize(int width, int height) {
    const QList<QRgb> colors = image_.colorTable();
    image_ = QImage(std::max(width, 1), std::max(height, 1), formatFor(bits_));
    if (bits_ == 8) {
        image_.setColorTable(colors.isEmpty() ? QList<QRgb>(256, qRgb(0, 0, 0)) : colors);
        image_.fill(0);
    } else {
        image_.fill(Qt::black);
    }
    background_ = QImage();
    dirty_ = image_.rect();
}

uchar* DrawingSurface::storedRow(int y) noexcept {
    if (y < 0 || y >= image_.height()) return nullptr;
    return image_.scanLine(image_.height() - 1 - y);
}

void DrawingSurface::setColorTable(const QList<QRgb>& colors) {
    if (bits_ != 8) return;
    QList<QRgb> table = colors.mid(0, 256);
    while (table.size() < 256) table.append(qRgb(0, 0, 0));
    image_.setColorTable(table);
    dirty_ = image_.rect();
}

void DrawingSurface::saveBackground() {
    background_ = image_.copy();
}

void DrawingSurface::restoreBackground() {
    if (background_.isNull() || background_.size() != image_.size()) return;
    std::memcpy(image_.bits(), background_.constBits(), size_t(image_.sizeInBytes()));
    dirty_ = image_.rect();
}

void DrawingSurface::freeBackground() noexcept {
    background_ = QImage();
}

void DrawingSurface::copyFrom(const QImage& source, const QRect& from, const QPoint& to) {
    QRect src = from & source.rect();
    if (src.isEmpty()) return;
    QRect dst(to + (src.topLeft() - from.topLeft()), src.size());
    const QRect clipped = dst & image_.rect();
    if (clipped.isEmpty()) return;
    src.translate(clipped.topLeft() - dst.topLeft());
    src.setSize(clipped.size());
    if (bits_ == 8) {
        if (source.format() != QImage::Format_Indexed8) return;
        for (int y = 0; y < clipped.height(); ++y)
            std::memcpy(image_.scanLine(clipped.top() + y) + clipped.left(),
                        source.constScanLine(src.top() + y) + src.left(), size_t(clipped.width()));
    } else {
        QPainter p(&image_);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(clipped.topLeft(), source, src);
    }
    dirty_ |= clipped;
}

void DrawingSurface::copyFrame(const uint8_t* frame, bool useBlitra) {
    if (bits_ != 8 || !frame) return;
    const int w = image_.width();
    for (int y = 0; y < image_.height(); ++y) {
        uchar* row = storedRow(y);
        const uint8_t* src = frame + size_t(y) * size_t(w);
        if (useBlitra)
            MMXBlit(row, src, w);
        else
            std::memcpy(row, src, size_t(w));
    }
    dirty_ = image_.rect();
}

}  // namespace ombrix
