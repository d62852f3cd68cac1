#include "ombrix/windows/visuals/VisualizationWindow.h"

#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

namespace ombrix {

VisualizationWindow::VisualizationWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), canvas_(kWidth, kHeight, QImage::Format_RGB32) {
    setObjectName(QStringLiteral("fampvis"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    canvas_.fill(Qt::black);
    resize(kWidth, kHeight);
    setMinimumSize(kWidth / 2, kHeight / 2);
}

void VisualizationWindow::setCanvas(const uint32_t* pixels) {
    if (!pixels || canvas_.isNull()) return;
    for (int y = 0; y < kHeight; ++y)
        std::memcpy(canvas_.scanLine(y), pixels + size_t(y) * kWidth, size_t(kWidth) * 4);
    update();
}

void VisualizationWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    // Whole factors keep the plug-in's pixels square and sharp.
    const int k = std::max(1, std::min(width() / kWidth, height() / kHeight));
    const QRect target(QPoint((width() - kWidth * k) / 2, (height() - kHeight * k) / 2),
                       QSize(kWidth * k, kHeight * k));
    p.drawImage(target, canvas_);
}

void VisualizationWindow::closeEvent(QCloseEvent* event) {
    emit closed();
    QWidget::closeEvent(event);
}

int chooseVisualization(const QStringList& descriptions, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("fselectplugin"));
    dialog.setWindowTitle(QStringLiteral("select plugin"));
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("listbox1"));
    list->addItems(descriptions);
    list->setCurrentRow(0);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted) return -1;
    return list->currentRow();
}

}  // namespace ombrix
