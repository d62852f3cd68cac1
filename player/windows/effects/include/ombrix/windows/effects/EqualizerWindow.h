#pragma once

#include <QWidget>
#include <array>

#include "ombrix/effects/EqualizerCurve.h"

class QSlider;
class QPushButton;

namespace ombrix {

class EqualizerSink;
class SettingsStore;

/**
 * @brief The "16 bands equalizer" window: sixteen vertical sliders over EqualizerCurve, each
 *        driving two bands of the decoder's equaliser. The top of a slider raises its bands,
 *        the bottom silences them. Switching the equaliser on and off is not this window's job.
 *
 * Creation restores the window's place ("feq" in section "form") and sends the stored curve
 * (once per slider); closing and destruction store the positions in section "feq".
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

    const EqualizerCurve& curve() const noexcept { return curve_; }
    /// The slider of band group @p number (1..16). Its value is 1000 - position, so that
    /// position 0 is at the top.
    QSlider* slider(int number) const;
    /// Moves slider @p number (1..16) to curve position @p position and sends the curve, even
    /// when the position stays the same.
    void setPosition(int number, int position);

    /// Every slider back to the flat position, sending the curve after each.
    void resetToFlat();
    /// Stores the window's place and the slider positions in the main settings file.
    void saveState();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static int toSlider(int position) noexcept { return EqualizerCurve::kMaxPosition - position; }
    static int toPosition(int value) noexcept { return EqualizerCurve::kMaxPosition - value; }
    void sliderChanged(const QSlider& slider);

    SettingsStore& store_;
    EqualizerSink& sink_;
    EqualizerCurve curve_;
    std::array<QSlider*, EqualizerCurve::kSliders> sliders_{};
};

}  // namespace ombrix
