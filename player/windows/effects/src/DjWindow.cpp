#include "ombrix/windows/effects/DjWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "ombrix/control/PlaybackController.h"
#include "ombrix/effects/EffectsDesk.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/settings/TextFile.h"
#include "ombrix/windows/common/WindowPlacement.h"

namespace ombrix {

namespace {
const QString kSpinEdit1 = QStringLiteral("spinedit1");
const QString kSpinEdit2 = QStringLiteral("spinedit2");
const QString kChkFadeIn = QStringLiteral("chkfadein");
constexpr int kDefaultFadeSeconds = 5;
constexpr EffectorSettings::Range kPitch{500, 2000};
constexpr EffectorSettings::Range kPadPan{-32768, 32767};
constexpr EffectorSettings::Range kPadVolume{0, 32767};

QCheckBox* checkBox(QWidget* parent, const QString& name, const QString& text,
                    const QString& hint = {}) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->setToolTip(hint);
    return box;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

int fadeSeconds(const IniDocument& ini, const QString& key) {
    return static_cast<int>(
        std::clamp<qint64>(ini.readInteger(DjWindow::kSection, key, kDefaultFadeSeconds),
                           DjWindow::kMinFadeSeconds, DjWindow::kMaxFadeSeconds));
}
}  // namespace

DjWindow::DjWindow(SettingsStore& store, PlaybackController& controller, EffectsDesk& desk,
                   QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store), controller_(controller), desk_(desk) {
    setObjectName(QStringLiteral("fcontrol"));
    setWindowTitle(QStringLiteral("DJ control"));

    auto* right = new QVBoxLayout;
    right->addWidget(buildPitch());
    right->addWidget(buildPads(), 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(buildFades(), 1);
    bottom->addWidget(buildPresets(), 1);
    right->addLayout(bottom);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(buildEffects());
    layout->addLayout(right, 1);

    readFadeSettings();
    WindowPlacement::restore(*this, store_, kWindowName, true);
    refreshPresets();
    loadEffectorSettings(QDir(presetDirectory()).filePath(kLastTime));
}

DjWindow::~DjWindow() {
    saveState();
}

QString DjWindow::presetDirectory() const {
    return store_.home().path(EffectorSettings::kPresetFolder);
}

// ---------------------------------------------------------------------------------------------
// Building

QSlider* DjWindow::slider(const QString& name, EffectorSettings::Range range, int initial,
                          const QString& hint) {
    auto* s = new QSlider(Qt::Horizontal, this);
    s->setObjectName(name);
    s->setRange(range.min, range.max);
    s->setValue(initial);
    s->setPageStep(std::max(1, (range.max - range.min) / 20));
    s->setToolTip(hint);
    s->setMinimumWidth(140);
    return s;
}

QWidget* DjWindow::buildEffects() {
    const EffectorSettings init;
    auto* column = new QWidget(this);
    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);

    auto* reverbBox = new QGroupBox(QStringLiteral("Reverb"), column);
    auto* rf = new QFormLayout(reverbBox);
    reverb_ = checkBox(reverbBox, QStringLiteral("reverb"), QStringLiteral("reverb"));
    scrollreverb_ = slider(QStringLiteral("scrollreverb"), EffectorSettings::kReverbDelay,
                           init.reverbDelay, QStringLiteral("delay of reverb"));
    scrollreverbamount_ =
        slider(QStringLiteral("scrollreverbamount"), EffectorSettings::kReverbAmount,
               init.reverbAmount, QStringLiteral("amount of reverb"));
    scrollreverbdecay_ = slider(QStringLiteral("scrollreverbdecay"), EffectorSettings::kReverbDecay,
                                init.reverbDecay, QStringLiteral("decay speed of reverb"));
    rf->addRow(reverb_);
    rf->addRow(QStringLiteral("delay"), scrollreverb_);
    rf->addRow(QStringLiteral("amount"), scrollreverbamount_);
    rf->addRow(QStringLiteral("decay"), scrollreverbdecay_);
    v->addWidget(reverbBox);

    auto* delayBox = new QGroupBox(QStringLiteral("Delay"), column);
    auto* df = new QFormLayout(delayBox);
    delay_ = checkBox(delayBox, QStringLiteral("delay"), QStringLiteral("delay"));
    scrolldelay_ = slider(QStringLiteral("scrolldelay"), EffectorSettings::kDelayTime,
                          init.delayTime, QStringLiteral("delay time"));
    scrolldelayamount_ = slider(QStringLiteral("scrolldelayamount"), EffectorSettings::kDelayAmount,
                                init.delayAmount, QStringLiteral("delay amount"));
    scrolldelaypan_ = slider(QStringLiteral("scrolldelaypan"), EffectorSettings::kDelayPan,
                             init.delayPan, QStringLiteral("pan of delay"));
    scrolldelayfeed_ = slider(QStringLiteral("scrolldelayfeed"), EffectorSettings::kDelayFeed,
                              init.delayFeed, QStringLiteral("decay speed of delay"));
    df->addRow(delay_);
    df->addRow(QStringLiteral("time"), scrolldelay_);
    df->addRow(QStringLiteral("amount"), scrolldelayamount_);
    df->addRow(QStringLiteral("pan"), scrolldelaypan_);
    df->addRow(QStringLiteral("feedback"), scrolldelayfeed_);
    v->addWidget(delayBox);

    auto* stereoBox = new QGroupBox(QStringLiteral("Stereo"), column);
    auto* sv = new QVBoxLayout(stereoBox);
    surround_ = checkBox(stereoBox, QStringLiteral("surround"), QStringLiteral("surround stereo"),
                         QStringLiteral("enable dolby surround emulation"));
    cancelvocal_ = checkBox(stereoBox, QStringLiteral("cancelvocal"), QStringLiteral("karaoke"),
                            QStringLiteral("cancel center channel"));
    sv->addWidget(surround_);
    sv->addWidget(cancelvocal_);
    v->addWidget(stereoBox);
    fxNote_ = new QLabel(kFxNote, column);
    fxNote_->setObjectName(QStringLiteral("fxnote"));
    fxNote_->setWordWrap(true);
    v->addWidget(fxNote_);
    v->addStretch();

    connect(reverb_, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            desk_.enableReverb();
        else
            desk_.disableReverb();
        effectSwitched(on);
    });
    connect(scrollreverb_, &QSlider::valueChanged, this,
            [this](int v) { desk_.setReverbDelay(v); });
    connect(scrollreverbamount_, &QSlider::valueChanged, this,
            [this](int v) { desk_.setReverbScale(DjControlMath::squaredScale(v)); });
    connect(scrollreverbdecay_, &QSlider::valueChanged, this,
            [this](int v) { desk_.setReverbDecay(v); });
    connect(delay_, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            desk_.enableDelay();
        else
            desk_.disableDelay();
        effectSwitched(on);
    });
    connect(scrolldelay_, &QSlider::valueChanged, this, [this](int v) { desk_.setDelayTime(v); });
    connect(scrolldelayamount_, &QSlider::valueChanged, this,
            [this](int v) { desk_.setDelayScale(DjControlMath::squaredScale(v)); });
    connect(scrolldelaypan_, &QSlider::valueChanged, this, [this](int v) { desk_.setDelayPan(v); });
    connect(scrolldelayfeed_, &QSlider::valueChanged, this,
            [this](int v) { desk_.setDelayFeed(DjControlMath::squaredScale(v)); });
    connect(surround_, &QCheckBox::toggled, this, [this](bool on) {
        desk_.enableSurround(on);
        effectSwitched(on);
    });
    connect(cancelvocal_, &QCheckBox::toggled, this, [this](bool on) {
        desk_.cancelVocal(on);
        effectSwitched(on);
    });
    return column;
}

QWidget* DjWindow::buildPitch() {
    auto* box = new QGroupBox(QStringLiteral("Pitch"), this);
    auto* h = new QHBoxLayout(box);
    scrollpitch_ = slider(QStringLiteral("scrollpitch"), kPitch, DjControlMath::kNormalPitch,
                          QStringLiteral("pitch"));
    scrollpitch_->setPageStep(50);
    pitchText_ = new QLabel(box);
    pitchText_->setMinimumWidth(
        pitchText_->fontMetrics().horizontalAdvance(QStringLiteral("200.0 %")));
    button1_ = button(box, QStringLiteral("Button1"), QStringLiteral("default"));
    const auto showPitch = [this](int v) {
        pitchText_->setText(QString::number(v / 10.0, 'f', 1) + QStringLiteral(" %"));
    };
    showPitch(scrollpitch_->value());
    connect(scrollpitch_, &QSlider::valueChanged, this, [this, showPitch](int v) {
        showPitch(v);
        desk_.changePitch(DjControlMath::pitchValue(v));
    });
    connect(button1_, &QPushButton::clicked, this,
            [this] { scrollpitch_->setValue(DjControlMath::kNormalPitch); });
    h->addWidget(scrollpitch_, 1);
    h->addWidget(pitchText_);
    h->addWidget(button1_);
    return box;
}

QWidget* DjWindow::buildPads() {
    auto* box = new QGroupBox(QStringLiteral("Pads"), this);
    auto* outer = new QVBoxLayout(box);
    auto* grid = new QGridLayout;
    const QStringList heads{QStringLiteral("bank"),   {}, {}, {}, QStringLiteral("pan"),
                            QStringLiteral("volume"), {}};
    for (int c = 0; c < heads.size(); ++c)
        if (!heads[c].isEmpty()) grid->addWidget(new QLabel(heads[c], box), 0, c, Qt::AlignHCenter);
    for (int i = 0; i < DjControlMath::kPads; ++i) {
        const QString n = QString::number(i + 1);
        Pad& pad = pads_[i];
        pad.load = button(box, QStringLiteral("btnload") + n, QStringLiteral("load"));
        pad.play = button(box, QStringLiteral("btnplay") + n, QStringLiteral("play"));
        pad.stop = button(box, QStringLiteral("btnstop") + n, QStringLiteral("stop"));
        pad.play->setEnabled(false);
        pad.stop->setEnabled(false);
        pad.pan = slider(QStringLiteral("scrollpan") + n, kPadPan, 0, QStringLiteral("pan"));
        pad.volume = slider(QStringLiteral("scrollvolume") + n, kPadVolume, kPadVolume.max,
                            QStringLiteral("volume"));
        pad.pan->setMinimumWidth(80);
        pad.volume->setMinimumWidth(80);
        pad.loop =
            checkBox(box, QStringLiteral("chkloop") + QString::number(i), QStringLiteral("loop"));

        // Every control finds its pad from the digit that ends its name.
        const auto index = [](const QObject* o) {
            return DjControlMath::padIndex(o->objectName()).value_or(0);
        };
        connect(pad.load, &QPushButton::clicked, this,
                [this, p = index(pad.load)] { choosePadFile(p); });
        connect(pad.play, &QPushButton::clicked, this,
                [this, p = index(pad.play)] { desk_.playSample(p); });
        connect(pad.stop, &QPushButton::clicked, this,
                [this, p = index(pad.stop)] { desk_.stopSample(p); });
        connect(pad.pan, &QSlider::valueChanged, this,
                [this, p = index(pad.pan)](int v) { desk_.setSamplePan(p, v); });
        connect(pad.volume, &QSlider::valueChanged, this,
                [this, p = index(pad.volume)](int v) { desk_.setSampleVolume(p, v); });
        connect(pad.loop, &QCheckBox::toggled, this,
                [this, p = index(pad.loop)](bool on) { desk_.setSampleLoop(p, on); });

        const int row = i + 1;
        grid->addWidget(new QLabel(n, box), row, 0, Qt::AlignHCenter);
        grid->addWidget(pad.load, row, 1);
        grid->addWidget(pad.play, row, 2);
        grid->addWidget(pad.stop, row, 3);
        grid->addWidget(pad.pan, row, 4);
        grid->addWidget(pad.volume, row, 5);
        grid->addWidget(pad.loop, row, 6);
    }
    grid->setColumnStretch(4, 1);
    grid->setColumnStretch(5, 1);
    outer->addLayout(grid);
    padMessage_ = new QLabel(box);
    padMessage_->setObjectName(QStringLiteral("padmessage"));
    padMessage_->setWordWrap(true);
    outer->addWidget(padMessage_);
    return box;
}

QWidget* DjWindow::buildFades() {
    auto* box = new QGroupBox(QStringLiteral("Fades"), this);
    auto* g = new QGridLayout(box);
    const auto spin = [box](const QString& name) {
        auto* s = new QSpinBox(box);
        s->setObjectName(name);
        s->setRange(kMinFadeSeconds, kMaxFadeSeconds);
        s->setValue(kDefaultFadeSeconds);
        s->setSuffix(QStringLiteral(" s"));
        return s;
    };
    spinEdit1_ = spin(QStringLiteral("SpinEdit1"));
    spinEdit2_ = spin(QStringLiteral("SpinEdit2"));
    button2_ = button(box, QStringLiteral("Button2"), QStringLiteral("fade out"));
    chkFadeIn_ = checkBox(box, QStringLiteral("chkFadeIn"), QStringLiteral("fade in"),
                          QStringLiteral("fade in every item that starts"));
    g->addWidget(spinEdit1_, 0, 0);
    g->addWidget(button2_, 0, 1);
    g->addWidget(spinEdit2_, 1, 0);
    g->addWidget(chkFadeIn_, 1, 1);

    connect(button2_, &QPushButton::clicked, this,
            [this] { controller_.startFadeOut(spinEdit1_->value() * kFadeTicksPerSecond); });
    connect(chkFadeIn_, &QCheckBox::toggled, this, &DjWindow::applyFadeIn);
    // A new length takes effect at once while fade-in is on.
    connect(spinEdit2_, &QSpinBox::valueChanged, this, [this] {
        if (chkFadeIn_->isChecked()) applyFadeIn();
    });
    return box;
}

QWidget* DjWindow::buildPresets() {
    auto* box = new QGroupBox(QStringLiteral("Presets"), this);
    auto* h = new QHBoxLayout(box);
    comboBox1_ = new QComboBox(box);
    comboBox1_->setObjectName(QStringLiteral("ComboBox1"));
    comboBox1_->setMinimumContentsLength(10);
    btnsavefx_ = button(box, QStringLiteral("btnsavefx"), QStringLiteral("save"));
    btnsavefx_->setToolTip(QStringLiteral("save the effect settings as a preset"));
    h->addWidget(comboBox1_, 1);
    h->addWidget(btnsavefx_);
    connect(comboBox1_, &QComboBox::activated, this, [this](int index) {
        const QString file = comboBox1_->itemData(index).toString();
        if (!file.isEmpty()) loadEffectorSettings(QDir(presetDirectory()).filePath(file));
    });
    connect(btnsavefx_, &QPushButton::clicked, this, &DjWindow::savePresetAs);
    return box;
}

void DjWindow::effectSwitched(bool on) {
    // The engine mixes the effects in only while "fx" is on: an effect the user switches on is
    // meant to be heard, so fx comes on with it (the panel's lamp and the menu follow).
    if (on && !controller_.state().effects) controller_.setEffectsEnabled(true);
}

// ---------------------------------------------------------------------------------------------
// Effector settings

EffectorSettings DjWindow::effectorSettings() const {
    EffectorSettings s;
    s.reverb = reverb_->isChecked();
    s.reverbDecay = scrollreverbdecay_->value();
    s.reverbDelay = scrollreverb_->value();
    s.reverbAmount = scrollreverbamount_->value();
    s.delay = delay_->isChecked();
    s.delayTime = scrolldelay_->value();
    s.delayAmount = scrolldelayamount_->value();
    s.delayPan = scrolldelaypan_->value();
    s.delayFeed = scrolldelayfeed_->value();
    s.surround = surround_->isChecked();
    s.cancelVocal = cancelvocal_->isChecked();
    return s;
}

void DjWindow::showEffectorSettings(const EffectorSettings& s) {
    const QList<QWidget*> controls{
        reverb_,          scrollreverbdecay_, scrollreverb_,      scrollreverbamount_,
        delay_,           scrolldelay_,       scrolldelayamount_, scrolldelaypan_,
        scrolldelayfeed_, surround_,          cancelvocal_};
    for (QWidget* w : controls) w->blockSignals(true);
    reverb_->setChecked(s.reverb);
    scrollreverbdecay_->setValue(s.reverbDecay);
    scrollreverb_->setValue(s.reverbDelay);
    scrollreverbamount_->setValue(s.reverbAmount);
    delay_->setChecked(s.delay);
    scrolldelay_->setValue(s.delayTime);
    scrolldelayamount_->setValue(s.delayAmount);
    scrolldelaypan_->setValue(s.delayPan);
    scrolldelayfeed_->setValue(s.delayFeed);
    surround_->setChecked(s.surround);
    cancelvocal_->setChecked(s.cancelVocal);
    for (QWidget* w : controls) w->blockSignals(false);
}

bool DjWindow::loadEffectorSettings(const QString& path) {
    const auto s = EffectorSettings::load(path);
    if (!s) return false;
    {
        const QSignalBlocker block(comboBox1_);
        comboBox1_->setCurrentIndex(comboBox1_->findText(QFileInfo(path).completeBaseName()));
    }
    showEffectorSettings(*s);
    // Every value goes to the engine, changed or not, so the engine matches the controls.
    s->applyTo(desk_);
    return true;
}

void DjWindow::saveEffectorSettings(const QString& path) const {
    effectorSettings().save(path);
}

void DjWindow::refreshPresets() {
    const QSignalBlocker block(comboBox1_);
    const QString current = comboBox1_->currentText();
    comboBox1_->clear();
    const QStringList files =
        QDir(presetDirectory())
            .entryList({QStringLiteral("*.ini")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& f : files) comboBox1_->addItem(QFileInfo(f).completeBaseName(), f);
    comboBox1_->setCurrentIndex(comboBox1_->findText(current));
}

void DjWindow::savePresetAs() {
    QDir().mkpath(presetDirectory());
    QFileDialog dialog(this, QStringLiteral("Save Effector Setting"), presetDirectory(),
                       QStringLiteral("Ombrix Player Setting (*.ini)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("ini"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().constFirst();
    try {
        saveEffectorSettings(path);
    } catch (const FileError& e) {
        QMessageBox::warning(this, QApplication::applicationDisplayName(),
                             QStringLiteral("The effector setting could not be saved: %1")
                                 .arg(QString::fromLocal8Bit(e.what())));
        return;
    }
    refreshPresets();
    const QSignalBlocker block(comboBox1_);
    comboBox1_->setCurrentIndex(comboBox1_->findText(QFileInfo(path).completeBaseName()));
}

// ---------------------------------------------------------------------------------------------
// Pads

void DjWindow::choosePadFile(int pad) {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("assign patch to bank %1").arg(pad + 1),
                                     lastPadFolder_, QStringLiteral("Microsoft Wave (*.wav)"));
    if (path.isEmpty()) return;
    lastPadFolder_ = QFileInfo(path).path();
    loadPad(pad, path);
}

bool DjWindow::loadPad(int pad, const QString& path) {
    if (pad < 0 || pad >= DjControlMath::kPads) return false;
    Pad& p = pads_[pad];
    if (!desk_.loadSample(pad, path)) {
        padMessage_->setText(
            QStringLiteral("Bank %1: \"%2\" cannot be loaded. Choose a PCM wave file.")
                .arg(pad + 1)
                .arg(QFileInfo(path).fileName()));
        return false;
    }
    p.play->setEnabled(true);
    p.stop->setEnabled(true);
    p.play->setToolTip(path);
    padMessage_->clear();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Fades and the window's own settings

void DjWindow::applyFadeIn() {
    controller_.setFadeIn(chkFadeIn_->isChecked() ? spinEdit2_->value() * kFadeTicksPerSecond : 0);
}

void DjWindow::readFadeSettings() {
    const IniDocument ini = store_.readMain();
    spinEdit1_->setValue(fadeSeconds(ini, kSpinEdit1));
    spinEdit2_->setValue(fadeSeconds(ini, kSpinEdit2));
    {
        const QSignalBlocker block(chkFadeIn_);
        chkFadeIn_->setChecked(ini.readBool(kSection, kChkFadeIn, false));
    }
    applyFadeIn();
}

void DjWindow::saveState() {
    try {
        store_.updateMain([&](IniDocument& ini) {
            ini.writeInteger(kSection, kSpinEdit1, spinEdit1_->value());
            ini.writeInteger(kSection, kSpinEdit2, spinEdit2_->value());
            ini.writeBool(kSection, kChkFadeIn, chkFadeIn_->isChecked());
        });
    } catch (const FileError& e) {
        qWarning("cannot store the DJ control's settings: %s", e.what());
    }
    WindowPlacement::save(*this, store_, kWindowName, true);
    try {
        QDir().mkpath(presetDirectory());
        saveEffectorSettings(QDir(presetDirectory()).filePath(kLastTime));
    } catch (const FileError& e) {
        qWarning("cannot store the effect settings: %s", e.what());
    }
}

void DjWindow::closeEvent(QCloseEvent* event) {
    saveState();
    event->accept();
}

}  // namespace ombrix
