#include "ombrix/windows/effects/EqualizerWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "ombrix/effects/EqualizerSink.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/settings/TextFile.h"
#include "ombrix/windows/common/WindowPlacement.h"

namespace ombrix {

namespace {
// Each slider covers two of the decoder's 32 subbands; at 44.1 kHz a subband is 689 Hz wide.
QString bandLabel(int index) {
    const double hz = (2 * index + 1) * 44100.0 / 64.0;
    if (hz < 1000) return QString::number(qRound(hz));
    return QString::number(hz / 1000.0, 'f', 1) + QStringLiteral("k");
}
}  // namespace

EqualizerWindow::EqualizerWindow(SettingsStore& store, EqualizerSink& sink, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store), sink_(sink) {
    setObjectName(QStringLiteral("feq"));
    setWindowTitle(QStringLiteral("16 bands equalizer"));

    auto* bands = new QGridLayout;
    for (int k = 0; k < EqualizerCurve::kSliders; ++k) {
        auto* s = new QSlider(Qt::Vertical, this);
        s->setObjectName(EqualizerCurve::keyFor(k + 1));
        s->setRange(EqualizerCurve::kMinPosition, EqualizerCurve::kMaxPosition);
        s->setPageStep(10);
        // The slider shows the curve's position upside down (value = 1000 - position), so
        // position 0 sits at the top, the filled groove grows with the gain, and dragging,
        // wheel and keys upwards all raise it.
        s->setValue(toSlider(EqualizerCurve::kFlatPosition));
        s->setMinimumHeight(120);
        s->setToolTip(QStringLiteral("%1 Hz band").arg(bandLabel(k)));
        connect(s, &QSlider::valueChanged, this, [this, s] { sliderChanged(*s); });
        sliders_[k] = s;
        bands->addWidget(s, 0, k, Qt::AlignHCenter);
        auto* label = new QLabel(bandLabel(k), this);
        label->setAlignment(Qt::AlignHCenter);
        bands->addWidget(label, 1, k, Qt::AlignHCenter);
    }
    auto* scale = new QVBoxLayout;
    scale->addWidget(new QLabel(QStringLiteral("+6 dB"), this));
    scale->addStretch();
    scale->addWidget(new QLabel(QStringLiteral("0 dB"), this));
    scale->addStretch();
    scale->addWidget(new QLabel(QStringLiteral("off"), this));
    scale->addSpacing(fontMetrics().height());

    auto* top = new QHBoxLayout;
    top->addLayout(scale);
    top->addLayout(bands, 1);

    auto* defaults = new QPushButton(QStringLiteral("default"), this);
    defaults->setObjectName(QStringLiteral("btndefault"));
    connect(defaults, &QPushButton::clicked, this, &EqualizerWindow::resetToFlat);
    auto* ok = new QPushButton(QStringLiteral("ok"), this);
    ok->setObjectName(QStringLiteral("btnok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(defaults);
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    WindowPlacement::restore(*this, store_, kWindowName, false);
    // Every slider's change runs once, so the stored curve reaches the decoder.
    EqualizerCurve stored;
    stored.read(store_.readMain());
    for (int n = 1; n <= EqualizerCurve::kSliders; ++n) setPosition(n, stored.position(n));
}

EqualizerWindow::~EqualizerWindow() {
    saveState();
}

QSlider* EqualizerWindow::slider(int number) const {
    if (number < 1 || number > EqualizerCurve::kSliders) return nullptr;
    return sliders_[number - 1];
}

void EqualizerWindow::resetToFlat() {
    for (int n = 1; n <= EqualizerCurve::kSliders; ++n)
        setPosition(n, EqualizerCurve::kFlatPosition);
}

void EqualizerWindow::saveState() {
    WindowPlacement::save(*this, store_, kWindowName, false);
    try {
        store_.updateMain([&](IniDocument& ini) { curve_.write(ini); });
    } catch (const FileError& e) {
        qWarning("cannot store the equaliser curve: %s", e.what());
    }
}

void EqualizerWindow::closeEvent(QCloseEvent* event) {
    saveState();
    event->accept();
}

void EqualizerWindow::sliderChanged(const QSlider& slider) {
    const auto number = EqualizerCurve::sliderNumber(slider.objectName());
    if (!number) return;
    curve_.setPosition(*number, toPosition(slider.value()));
    curve_.send(sink_);
}

void EqualizerWindow::setPosition(int number, int position) {
    QSlider* s = slider(number);
    if (!s) return;
    {
        // The change runs below even when the position stays the same.
        const QSignalBlocker block(s);
        s->setValue(toSlider(
            std::clamp(position, EqualizerCurve::kMinPosition, EqualizerCurve::kMaxPosition)));
    }
    sliderChanged(*s);
}

}  // namespace ombrix
