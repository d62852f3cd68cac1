#include "ombrix/skin/ButtonRect.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <limits>

#include "ombrix/settings/IniDocument.h"

namespace ombrix {
namespace {

qint32 to32(qint64 v) {
    return static_cast<qint32>(std::clamp<qint64>(v, std::numeric_limits<qint32>::min(),
                                                  std::numeric_limits<qint32>::max()));
}

}  // namespace

void ButtonRect::read(const IniDocument& ini) {
    const QString section = QStringLiteral("button");
    Left = to32(ini.readInteger(section, name + QStringLiteral("left"), 0));
    Top = to32(ini.readInteger(section, name + QStringLiteral("top"), 0));
    Right = to32(ini.readInteger(section, name + QStringLiteral("right"), 0));
    Bottom = to32(ini.readInteger(section, name + QStringLiteral("bottom"), 0));
    defined = Left != 0 || Top != 0 || Right != 0 || Bottom != 0;
}

bool ButtonRect::hitTest(int x, int y) noexcept {
    hot = enabled && Left <= x && x < Right && Top <= y && y < Bottom;
    return hot;
}

QRect ButtonRect::rect() const noexcept {
    if (Right <= Left || Bottom <= Top) return {};
    return QRect(QPoint(Left, Top), QPoint(Right - 1, Bottom - 1));
}

void ButtonRect::clipTo(int width, int height) noexcept {
    Left = std::clamp<qint32>(Left, 0, width);
    Right = std::clamp<qint32>(Right, 0, width);
    Top = std::clamp<qint32>(Top, 0, height);
    Bottom = std::clamp<qint32>(Bottom, 0, height);
}

void ButtonRect::draw(QImage& target, const QImage& source) const {
    const QRect r = rect() & target.rect() & source.rect();
    if (r.isEmpty()) return;
    QPainter p(&target);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(r.topLeft(), source, r);
}

}  // namespace ombrix
