#include "ombrix/windows/visuals/BumpSettingsWindow.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ombrix/settings/SettingsStore.h"

namespace ombrix {
namespace {

// Stored colours keep red in the low byte; Qt's keep blue there.
QColor toQColor(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}
int fromQColor(const QColor& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

QSpinBox* spin(const char* name, int max) {
    auto* s = new QSpinBox;
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(0, max);
    return s;
}

}  // namespace

BumpSettingsWindow::BumpSettingsWindow(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store) {
    setObjectName(QStringLiteral("fbump"));
    setWindowTitle(QStringLiteral("bump map"));
    ambient_ = spin("ambient", BumpBackground::kMaxAmbient);
    reflect_ = spin("reflect", BumpBackground::kMaxReflect);
    light_ = spin("light", BumpBackground::kMaxLight);
    face_ = new QLabel;
    face_->setObjectName(QStringLiteral("face"));
    face_->setToolTip(QStringLiteral("surface color"));
    face_->setMinimumSize(64, 22);
    face_->setFrameShape(QFrame::Box);
    face_->setAutoFillBackground(true);
    face_->setCursor(Qt::PointingHandCursor);
    face_->installEventFilter(this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ambient light"), ambient_);
    form->addRow(QStringLiteral("reflection"), reflect_);
    form->addRow(QStringLiteral("light strength"), light_);
    form->addRow(QStringLiteral("surface color"), face_);

    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(QStringLiteral("ok"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnok"));
    buttons->addButton(QStringLiteral("cancel"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("btncancel"));
    QPushButton* def = buttons->addButton(QStringLiteral("default"), QDialogButtonBox::ResetRole);
    def->setObjectName(QStringLiteral("btndefault"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        save();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(def, &QPushButton::clicked, this, [this] { setFields(BumpBackground::Light{}); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    const PlayerSettings& s = store_.settings();
    setFields({int(s.plasmacolor), s.glbambient, s.glbreflect, s.glblight});
}

BumpBackground::Light BumpSettingsWindow::fields() const {
    return {color_, ambient_->value(), reflect_->value(), light_->value()};
}

void BumpSettingsWindow::setFields(const BumpBackground::Light& light) {
    color_ = light.color & 0xFFFFFF;
    ambient_->setValue(light.ambient);
    reflect_->setValue(light.reflect);
    light_->setValue(light.light);
    showColor();
}

void BumpSettingsWindow::showColor() {
    QPalette p = face_->palette();
    p.setColor(QPalette::Window, toQColor(color_));
    face_->setPalette(p);
}

bool BumpSettingsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == face_ && event->type() == QEvent::MouseButtonPress) {
        const QColor c = QColorDialog::getColor(toQColor(color_), this,
                                                QStringLiteral("surface color"));
        if (c.isValid()) {
            color_ = fromQColor(c);
            showColor();
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void BumpSettingsWindow::save() {
    const BumpBackground::Light l = fields();
    store_.change([&l](PlayerSettings& s) {
        s.plasmacolor = l.color;
        s.glbambient = l.ambient;
        s.glbreflect = l.reflect;
        s.glblight = l.light;
    });
}

}  // namespace ombrix
