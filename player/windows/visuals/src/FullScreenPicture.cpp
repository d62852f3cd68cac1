#include "ombrix/windows/visuals/FullScreenPicture.h"

#include <QPainter>
#include <algorithm>
#include <cstring>

#include "blitra.h"

namespace ombrix {

int FullScreenPicture::factor(const QSize& screen) noexcept {
    return std::max(2, std::min(screen.width() / kWidth, screen.height() / kHeight));
}

void FullScreenPicture::setScreenSize(const QSize& screen) {
    screen_ = screen;
    factor_ = factor(screen);
    picture_ = QImage();
}

QRect FullScreenPicture::pictureRect() const noexcept {
    const QSize size(kWidth * factor_, kHeight * factor_);
    return QRect(QPoint((screen_.width() - size.width()) / 2,
                        (screen_.height() - size.height()) / 2),
                 size);
}

QPoint FullScreenPicture::linePosition(int i, const Text& text) const noexcept {
    const int shift = i == 0 ? -text.slide : text.slide;
    const QPoint origin = pictureRect().topLeft();
    return origin + QPoint((text.left[size_t(i)] + shift) * factor_, text.top[size_t(i)] * factor_);
}

QFont FullScreenPicture::lineFont(const QFont& screenFont) const {
    QFont f = screenFont;
    if (screenFont.pixelSize() > 0)
        f.setPixelSize(screenFont.pixelSize() * factor_);
    else
        f.setPointSizeF(std::max(1.0, screenFont.pointSizeF()) * factor_);
    return f;
}

void FullScreenPicture::setFrame(const uint8_t* frame, const QList<QRgb>& palette,
                                 bool useBlitra) {
    const QSize size = pictureRect().size();
    if (picture_.size() != size) picture_ = QImage(size, QImage::Format_Indexed8);
    if (picture_.isNull()) return;
    QList<QRgb> colors = palette.mid(0, 256);
    while (colors.size() < 256) colors.append(qRgb(0, 0, 0));
    picture_.setColorTable(colors);
    const int k = factor_;
    if (k == 2 && useBlitra && picture_.bytesPerLine() == 2 * kWidth) {
        // MMXBlit320x240 keeps the rows' order; the frame is bottom-up, so the doubled
        // picture is turned over afterwards, row by row.
        MMXBlit320x240(picture_.bits(), frame);
        picture_.mirror(false, true);
        return;
    }
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* in = frame + size_t(kHeight - 1 - y) * kWidth;
        uchar* out = picture_.scanLine(y * k);
        for (int x = 0; x < kWidth; ++x) std::memset(out + x * k, in[x], size_t(k));
        for (int r = 1; r < k; ++r)
            std::memcpy(picture_.scanLine(y * k + r), out, size_t(kWidth * k));
    }
}

void FullScreenPicture::paint(QPainter& painter, const Text& text) const {
    painter.fillRect(QRect(QPoint(0, 0), screen_), Qt::black);
    if (!picture_.isNull()) painter.drawImage(pictureRect().topLeft(), picture_);
    painter.setFont(lineFont(text.font));
    const int ascent = painter.fontMetrics().ascent();
    // A plug-in's picture can be as dark or as light as the panel's font: a thin halo of the
    // opposite lightness keeps the lines readable over any of them.
    const QColor halo = text.color.lightness() < 128 ? QColor(255, 255, 255, 150)
                                                     : QColor(0, 0, 0, 150);
    const int d = std::max(1, factor_ / 2);
    for (int i = 0; i < 3; ++i) {
        const QString& line = text.lines[size_t(i)];
        if (line.isEmpty()) continue;
        const QPoint at = linePosition(i, text) + QPoint(0, ascent);
        painter.setPen(halo);
        for (const QPoint off : {QPoint(-d, 0), QPoint(d, 0), QPoint(0, -d), QPoint(0, d)})
            painter.drawText(at + off, line);
        painter.setPen(text.color);
        painter.drawText(at, line);
    }
}

}  // namespace ombrix
