#include "ombrix/windows/effects/EqualizerWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
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

QString decibels(int db) {
    return db > 0 ? QStringLiteral("+%1").arg(db) : QString::number(db);
}

QString title(EqualizerMode mode) {
    return mode == EqualizerMode::Octaves ? QStringLiteral("10 bands equalizer")
                                          : QStringLiteral("16 bands equalizer");
}

// A column of scale labels beside the sliders: top, middle, bottom.
QVBoxLayout* scaleColumn(QWidget* parent, const QString& top, const QString& middle,
                         const QString& bottom, int bottomSpace) {
    auto* scale = new QVBoxLayout;
    scale->addWidget(new QLabel(top, parent));
    scale->addStretch();
    scale->addWidget(new QLabel(middle, parent));
    scale->addStretch();
    scale->addWidget(new QLabel(bottom, parent));
    scale->addSpacing(bottomSpace);
    return scale;
}
}  // namespace

EqualizerWindow::EqualizerWindow(SettingsStore& store, EqualizerSink& sink, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store), sink_(sink) {
    setObjectName(QStringLiteral("feq"));

    modeBox_ = new QComboBox(this);
    modeBox_->setObjectName(EqualizerSetup::kModeKey);
    // Item i is EqualizerMode i.
    modeBox_->addItem(QStringLiteral("16 subbands"));
    modeBox_->addItem(QStringLiteral("10 bands"));
    modeBox_->setToolTip(QStringLiteral(
        "16 subbands: the decoder's own equaliser, MPEG Layer III only, 689 Hz a subband\n"
        "10 bands: octave bands from 31 Hz to 16 kHz, for everything that plays"));
    auto* choice = new QHBoxLayout;
    choice->addWidget(new QLabel(QStringLiteral("equalizer:"), this));
    choice->addWidget(modeBox_);
    choice->addStretch();

    pages_ = new QStackedWidget(this);
    pages_->addWidget(buildSubbandPage());
    pages_->addWidget(buildOctavePage());

    auto* ok = new QPushButton(QStringLiteral("ok"), this);
    ok->setObjectName(QStringLiteral("btnok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choice);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);

    WindowPlacement::restore(*this, store_, kWindowName, false);
    EqualizerSetup stored;
    stored.read(store_.readMain());
    setup_.mode = stored.mode;
    showMode();
    // Every slider's change runs once, so the stored curve reaches the decoder (in subband
    // mode; in octave mode the decoder gets a flat curve below).
    for (int n = 1; n <= EqualizerCurve::kSliders; ++n) setPosition(n, stored.subbands.position(n));
    if (setup_.mode == EqualizerMode::Octaves) setup_.sendSubbands(sink_);
    for (int b = 0; b < OctaveCurve::kBands; ++b) {
        const QSignalBlocker block(octaveSliders_[b]);
        octaveSliders_[b]->setValue(stored.octaves.gainDb(b));
        takeOctaveSlider(b);
    }
    setup_.sendOctaves(sink_);
    connect(modeBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { setMode(static_cast<EqualizerMode>(index)); });
}

QWidget* EqualizerWindow::buildSubbandPage() {
    auto* page = new QWidget(this);
    auto* bands = new QGridLayout;
    for (int k = 0; k < EqualizerCurve::kSliders; ++k) {
        auto* s = new QSlider(Qt::Vertical, page);
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
        auto* label = new QLabel(bandLabel(k), page);
        label->setAlignment(Qt::AlignHCenter);
        bands->addWidget(label, 1, k, Qt::AlignHCenter);
    }
    auto* top = new QHBoxLayout;
    top->addLayout(scaleColumn(page, QStringLiteral("+6 dB"), QStringLiteral("0 dB"),
                               QStringLiteral("off"), fontMetrics().height()));
    top->addLayout(bands, 1);

    auto* defaults = new QPushButton(QStringLiteral("default"), page);
    defaults->setObjectName(QStringLiteral("btndefault"));
    connect(defaults, &QPushButton::clicked, this, &EqualizerWindow::resetToFlat);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(defaults);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    return page;
}

QWidget* EqualizerWindow::buildOctavePage() {
    auto* page = new QWidget(this);
    auto* bands = new QGridLayout;
    for (int b = 0; b < OctaveCurve::kBands; ++b) {
        auto* value = new QLabel(QStringLiteral("0"), page);
        value->setAlignment(Qt::AlignHCenter);
        value->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("+12")));
        octaveValues_[b] = value;
        bands->addWidget(value, 0, b, Qt::AlignHCenter);

        auto* s = new QSlider(Qt::Vertical, page);
        s->setObjectName(OctaveCurve::keyFor(b));
        s->setRange(OctaveCurve::kMinDb, OctaveCurve::kMaxDb);
        s->setPageStep(3);
        s->setTickPosition(QSlider::TicksBothSides);
        s->setTickInterval(6);
        s->setMinimumHeight(120);
        s->setToolTip(QStringLiteral("%1 Hz octave").arg(OctaveCurve::label(b)));
        connect(s, &QSlider::valueChanged, this, [this, b] { octaveSliderChanged(b); });
        // A drag is stored when it ends, not at every step.
        connect(s, &QSlider::sliderReleased, this, &EqualizerWindow::saveState);
        octaveSliders_[b] = s;
        bands->addWidget(s, 1, b, Qt::AlignHCenter);

        auto* label = new QLabel(OctaveCurve::label(b), page);
        label->setAlignment(Qt::AlignHCenter);
        bands->addWidget(label, 2, b, Qt::AlignHCenter);
    }
    auto* top = new QHBoxLayout;
    auto* scale = scaleColumn(page, QStringLiteral("+12 dB"), QStringLiteral("0 dB"),
                              QStringLiteral("-12 dB"), fontMetrics().height());
    scale->insertSpacing(0, fontMetrics().height());
    top->addLayout(scale);
    top->addLayout(bands, 1);

    auto* flat = new QPushButton(QStringLiteral("flat"), page);
    flat->setObjectName(QStringLiteral("btnflat"));
    connect(flat, &QPushButton::clicked, this, &EqualizerWindow::resetOctaves);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(flat);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    return page;
}

EqualizerWindow::~EqualizerWindow() {
    saveState();
}

QSlider* EqualizerWindow::slider(int number) const {
    if (number < 1 || number > EqualizerCurve::kSliders) return nullptr;
    return sliders_[number - 1];
}

QSlider* EqualizerWindow::octaveSlider(int band) const {
    if (band < 0 || band >= OctaveCurve::kBands) return nullptr;
    return octaveSliders_[band];
}

void EqualizerWindow::setMode(EqualizerMode mode) {
    setup_.mode = mode;
    showMode();
    setup_.send(sink_);
    saveState();
}

void EqualizerWindow::showMode() {
    const int index = static_cast<int>(setup_.mode);
    {
        const QSignalBlocker block(modeBox_);
        modeBox_->setCurrentIndex(index);
    }
    pages_->setCurrentIndex(index);
    setWindowTitle(title(setup_.mode));
}

void EqualizerWindow::resetToFlat() {
    for (int n = 1; n <= EqualizerCurve::kSliders; ++n)
        setPosition(n, EqualizerCurve::kFlatPosition);
}

void EqualizerWindow::resetOctaves() {
    for (int b = 0; b < OctaveCurve::kBands; ++b) {
        const QSignalBlocker block(octaveSliders_[b]);
        octaveSliders_[b]->setValue(0);
        takeOctaveSlider(b);
    }
    setup_.sendOctaves(sink_);
    saveState();
}

void EqualizerWindow::saveState() {
    WindowPlacement::save(*this, store_, kWindowName, false);
    try {
        store_.updateMain([&](IniDocument& ini) { setup_.write(ini); });
    } catch (const FileError& e) {
        qWarning("cannot store the equaliser: %s", e.what());
    }
}

void EqualizerWindow::closeEvent(QCloseEvent* event) {
    saveState();
    event->accept();
}

void EqualizerWindow::sliderChanged(const QSlider& slider) {
    const auto number = EqualizerCurve::sliderNumber(slider.objectName());
    if (!number) return;
    setup_.subbands.setPosition(*number, toPosition(slider.value()));
    if (setup_.mode == EqualizerMode::Subbands) setup_.subbands.send(sink_);
}

void EqualizerWindow::takeOctaveSlider(int band) {
    const int db = octaveSliders_[band]->value();
    setup_.octaves.setGainDb(band, db);
    octaveValues_[band]->setText(decibels(db));
    octaveSliders_[band]->setToolTip(
        QStringLiteral("%1 Hz octave: %2 dB").arg(OctaveCurve::label(band), decibels(db)));
}

void EqualizerWindow::octaveSliderChanged(int band) {
    takeOctaveSlider(band);
    if (setup_.mode == EqualizerMode::Octaves)
        sink_.setOctaveGain(band, static_cast<float>(setup_.octaves.gainDb(band)));
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

void EqualizerWindow::setOctaveGain(int band, int db) {
    QSlider* s = octaveSlider(band);
    if (!s) return;
    {
        const QSignalBlocker block(s);
        s->setValue(std::clamp(db, OctaveCurve::kMinDb, OctaveCurve::kMaxDb));
    }
    octaveSliderChanged(band);
}

}  // namespace ombrix
