#pragma once

#include <QWidget>
#include <array>

#include "ombrix/effects/EqualizerSetup.h"

class QComboBox;
class QLabel;
class QSlider;
class QStackedWidget;

namespace ombrix {

class EqualizerSink;
class SettingsStore;

/**
 * @brief The equaliser window over EqualizerSetup. The user chooses between "16 subbands"
 *        (sixteen vertical sliders, each driving two bands of the decoder's equaliser; the top
 *        raises, the bottom silences) and "10 bands" (ten octave sliders of the effects
 *        engine, 31 Hz .. 16 kHz, -12..+12 dB). The curve not chosen is sent flat. Switching
 *        the equaliser on and off is not this window's job.
 *
 * Creation restores the window's place ("feq" in section "form") and sends the stored setup
 * (the subband curve once per slider in that mode); a mode change and the flat button store
 * the setup at once, closing and destruction store it too (section "feq").
 * Lifetime: destruction writes to the settings, so the window must go before the store and the sink
 * (hold it in a std::unique_ptr declared after them rather than leaving it to a parent's
 * destructor).
 * Thread affinity: main thread. Nothing throws.
 */
class EqualizerWindow : public QWidget {
    Q_OBJECT
public:
    static inline const QString kWindowName = QStringLiteral("feq");

    EqualizerWindow(SettingsStore& store, EqualizerSink& sink, QWidget* parent = nullptr);
    ~EqualizerWindow() override;

    const EqualizerCurve& curve() const noexcept { return setup_.subbands; }
    const OctaveCurve& octaves() const noexcept { return setup_.octaves; }
    EqualizerMode mode() const noexcept { return setup_.mode; }

    /// The slider of band group @p number (1..16). Its value is 1000 - position, so that
    /// position 0 is at the top.
    QSlider* slider(int number) const;
    /// The slider of octave band @p band (0..9); its value is the gain in dB.
    QSlider* octaveSlider(int band) const;

    /// Moves slider @p number (1..16) to curve position @p position; in subband mode the curve
    /// is sent, even when the position stays the same.
    void setPosition(int number, int position);
    /// Moves octave slider @p band (0..9) to @p db; in octave mode the gains are sent.
    void setOctaveGain(int band, int db);
    /// Chooses the equaliser, sends both curves and stores the setup.
    void setMode(EqualizerMode mode);

    /// Every subband slider back to the flat position, sending the curve after each.
    void resetToFlat();
    /// Every octave slider to 0 dB; the setup is stored.
    void resetOctaves();
    /// Stores the window's place and the setup in the main settings file.
    void saveState();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static int toSlider(int position) noexcept { return EqualizerCurve::kMaxPosition - position; }
    static int toPosition(int value) noexcept { return EqualizerCurve::kMaxPosition - value; }
    QWidget* buildSubbandPage();
    QWidget* buildOctavePage();
    void sliderChanged(const QSlider& slider);
    /// Takes octave slider @p band's value into the setup and its labels, without sending.
    void takeOctaveSlider(int band);
    void octaveSliderChanged(int band);
    void showMode();

    SettingsStore& store_;
    EqualizerSink& sink_;
    EqualizerSetup setup_;
    QComboBox* modeBox_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    std::array<QSlider*, EqualizerCurve::kSliders> sliders_{};
    std::array<QSlider*, OctaveCurve::kBands> octaveSliders_{};
    std::array<QLabel*, OctaveCurve::kBands> octaveValues_{};
};

}  // namespace ombrix
