#include "ombrix/windows/visuals/FullScreenWindow.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace ombrix {

FullScreenWindow::FullScreenWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("ffull"));
    setWindowTitle(QStringLiteral("Ombrix Player"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::BlankCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void FullScreenWindow::open(const QWidget* near) {
    QScreen* screen = near && near->screen() ? near->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        setGeometry(screen->geometry());
        picture_.setScreenSize(screen->geometry().size());
    }
    showFullScreen();
    raise();
    activateWindow();
    setFocus();
}

void FullScreenWindow::setFrame(const uint8_t* frame, const QList<QRgb>& palette,
                                bool useBlitra) {
    picture_.setFrame(frame, palette, useBlitra);
    update();
}

void FullScreenWindow::setText(const FullScreenPicture::Text& text) {
    text_ = text;
    update();
}

void FullScreenWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    picture_.paint(p, text_);
}

void FullScreenWindow::resizeEvent(QResizeEvent* event) {
    picture_.setScreenSize(size());
    QWidget::resizeEvent(event);
}

void FullScreenWindow::keyPressEvent(QKeyEvent*) {
    finish();
}

void FullScreenWindow::mousePressEvent(QMouseEvent*) {
    finish();
}

void FullScreenWindow::closeEvent(QCloseEvent* event) {
    finish();
    QWidget::closeEvent(event);
}

void FullScreenWindow::finish() {
    if (finished_) return;
    finished_ = true;
    hide();
    emit closed();
}

}  // namespace ombrix
