#include "ombrix/windows/common/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/settings/TextFile.h"

namespace ombrix {

namespace {
constexpr int kVisibleWidth = 48;
constexpr int kVisibleHeight = 24;
}  // namespace

QRect WindowPlacement::keptOnScreen(const QRect& frame, const QList<QRect>& screens,
                                    const QRect& primary) {
    for (const QRect& screen : screens) {
        const QRect seen = frame.intersected(screen);
        if (seen.width() >= std::min(kVisibleWidth, frame.width()) &&
            seen.height() >= std::min(kVisibleHeight, frame.height()) && !seen.isEmpty())
            return frame;
    }
    QRect placed(primary.topLeft(), frame.size().boundedTo(primary.size()));
    return placed;
}

void WindowPlacement::restore(QWidget& window, SettingsStore& store, const QString& name,
                              bool withSize) {
    const auto pos = store.readMain().readWindowPosition(kSection, name);
    if (!pos) return;
    QSize size = window.size();
    if (withSize && pos->width && pos->height && *pos->width > 0 && *pos->height > 0)
        size = QSize(*pos->width, *pos->height).expandedTo(window.minimumSize());
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect target = keptOnScreen(QRect(QPoint(pos->left, pos->top), size), screens,
                                      primary ? primary->availableGeometry() : QRect());
    if (withSize) window.resize(target.size());
    window.move(target.topLeft());
}

void WindowPlacement::save(const QWidget& window, SettingsStore& store, const QString& name,
                           bool withSize) {
    WindowPosition pos;
    pos.left = window.x();
    pos.top = window.y();
    if (withSize) {
        pos.width = window.width();
        pos.height = window.height();
    }
    try {
        store.updateMain([&](IniDocument& ini) { ini.writeWindowPosition(kSection, name, pos); });
    } catch (const FileError& e) {
        qWarning("cannot store the place of %s: %s", qPrintable(name), e.what());
    }
}

}  // namespace ombrix
