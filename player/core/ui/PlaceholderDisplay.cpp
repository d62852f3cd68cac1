#include "PlaceholderDisplay.h"

#include <QPainter>
#include <QPainterPath>

namespace ombrix {

PlaceholderDisplay::PlaceholderDisplay(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(300, 100);
}

void PlaceholderDisplay::showState(const PlayerState& state) {
    state_ = state;
    update();
}

void PlaceholderDisplay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    QLinearGradient bg(r.topLeft(), r.bottomLeft());
    bg.setColorAt(0, QColor(0x1d, 0x23, 0x2e));
    bg.setColorAt(1, QColor(0x10, 0x14, 0x1b));
    p.fillRect(r, bg);

    const QRectF screen = r.adjusted(8, 8, -8, -8);
    QPainterPath frame;
    frame.addRoundedRect(screen, 6, 6);
    p.fillPath(frame, QColor(0x0b, 0x2a, 0x2f));
    p.setPen(QColor(0x2f, 0x5d, 0x63));
    p.drawPath(frame);

    const QColor text(0x9c, 0xf0, 0xe4);
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 1.25);
    big.setBold(true);
    QFont small = font();
    const QRectF inner = screen.adjusted(12, 8, -12, -8);
    const qreal lineH = inner.height() / 4;

    p.setPen(text);
    p.setFont(big);
    auto draw = [&](int row, const QString& s, Qt::Alignment align = Qt::AlignLeft) {
        const QRectF line(inner.left(), inner.top() + row * lineH, inner.width(), lineH);
        p.drawText(line, align | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(s, Qt::ElideRight, int(line.width())));
    };
    draw(0, state_.line1);
    p.setFont(small);
    p.setPen(text.darker(120));
    draw(1, state_.line2);
    draw(2, state_.line3);

    // Position bar and status.
    const QRectF bar(inner.left(), inner.bottom() - lineH * 0.55, inner.width(), 4);
    p.fillRect(bar, QColor(0x1e, 0x46, 0x4b));
    if (state_.songOpen && state_.positionScale > 0) {
        QRectF done = bar;
        done.setWidth(bar.width() * std::clamp(state_.position, 0, state_.positionScale) /
                      state_.positionScale);
        p.fillRect(done, text);
    }
    if (state_.songOpen && state_.elapsedMs >= 0) {
        auto mmss = [](int ms) {
            const int sec = std::max(0, ms) / 1000;
            return QString::asprintf("%d:%02d", sec / 60, sec % 60);
        };
        QString time = mmss(state_.elapsedMs);
        if (state_.lengthMs > 0) time += QStringLiteral(" / ") + mmss(state_.lengthMs);
        p.setPen(text.darker(110));
        draw(1, time, Qt::AlignRight);
    }
    QString status = state_.statusText;
    if (status.isEmpty() && state_.paused) status = QStringLiteral("paused");
    if (!status.isEmpty()) {
        p.setPen(QColor(0xff, 0xc8, 0x6b));
        draw(2, status, Qt::AlignRight);
    }
}

}  // namespace ombrix
