#pragma once

#include <QString>
#include <QWidget>
#include <array>

#include "ombrix/effects/DjControlMath.h"
#include "ombrix/effects/EffectorSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;

namespace ombrix {

class EffectsDesk;
class PlaybackController;
class SettingsStore;

/**
 * @brief The "DJ control" window: reverb, delay, surround, karaoke, pitch, eight sample pads,
 *        fades and effector presets. A thin shell: each control sends its value through the
 *        EffectsDesk when it changes; presets are EffectorSettings files in the home's "fx"
 *        folder.
 *
 * Creation reads the "djcontrol" section of the main settings file (fade lengths, fade-in),
 * restores the window's place ("djcontrol" in section "form"), lists the presets and loads
 * "lasttime.ini". Closing and destruction store all of it again.
 * Lifetime: destruction writes to the settings, so the window must go before the store, the
 * controller and the desk (hold it in a std::unique_ptr declared after them rather than leaving it
 * to a parent's destructor). Thread affinity: main thread. Nothing throws.
 */
class DjWindow : public QWidget {
    Q_OBJECT
public:
    static inline const QString kWindowName = QStringLiteral("djcontrol");
    static inline const QString kSection = QStringLiteral("djcontrol");
    static inline const QString kLastTime = EffectorSettings::kLastTime;
    static constexpr int kMinFadeSeconds = 1;
    static constexpr int kMaxFadeSeconds = 100;
    /// Fade ticks per second of the main window's fade timer.
    static constexpr int kFadeTicksPerSecond = 10;
    /// The line under the effects that says when they are heard.
    static inline const QString kFxNote = QStringLiteral("Effects are heard while fx is on.");

    DjWindow(SettingsStore& store, PlaybackController& controller, EffectsDesk& desk,
             QWidget* parent = nullptr);
    ~DjWindow() override;

    /// The folder of the presets and of "lasttime.ini".
    QString presetDirectory() const;

    /**
     * @brief Sets the effect controls from the effector settings file @p path and sends every
     *        one of them to the engine; selects the preset of that name in the list.
     * @return false, changing nothing, when the file does not exist or cannot be read.
     */
    bool loadEffectorSettings(const QString& path);
    /// Writes the effect controls to @p path. @throws FileError when it cannot be written.
    void saveEffectorSettings(const QString& path) const;
    /// The effect controls as they stand.
    EffectorSettings effectorSettings() const;

    /**
     * @brief Loads the wave file @p path into @p pad (0..7). On success the pad's play and stop
     *        buttons are enabled and show the file; otherwise a message says why and the pad
     *        stays as it was.
     */
    bool loadPad(int pad, const QString& path);
    /// Lists the "*.ini" files of the preset folder, in name order.
    void refreshPresets();
    /// Stores the fade settings, the window's place and "lasttime.ini".
    void saveState();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Pad {
        QPushButton* load = nullptr;
        QPushButton* play = nullptr;
        QPushButton* stop = nullptr;
        QSlider* pan = nullptr;
        QSlider* volume = nullptr;
        QCheckBox* loop = nullptr;
    };

    QWidget* buildEffects();
    QWidget* buildPitch();
    QWidget* buildPads();
    QWidget* buildFades();
    QWidget* buildPresets();
    QSlider* slider(const QString& name, EffectorSettings::Range range, int initial,
                    const QString& hint);
    void showEffectorSettings(const EffectorSettings& s);
    void applyFadeIn();
    void choosePadFile(int pad);
    void savePresetAs();
    void readFadeSettings();
    /// An effect was switched on or off by the user.
    void effectSwitched(bool on);

    SettingsStore& store_;
    PlaybackController& controller_;
    EffectsDesk& desk_;

    QCheckBox* reverb_ = nullptr;
    QSlider* scrollreverb_ = nullptr;
    QSlider* scrollreverbamount_ = nullptr;
    QSlider* scrollreverbdecay_ = nullptr;
    QCheckBox* delay_ = nullptr;
    QSlider* scrolldelay_ = nullptr;
    QSlider* scrolldelayamount_ = nullptr;
    QSlider* scrolldelaypan_ = nullptr;
    QSlider* scrolldelayfeed_ = nullptr;
    QCheckBox* surround_ = nullptr;
    QCheckBox* cancelvocal_ = nullptr;
    QLabel* fxNote_ = nullptr;
    QSlider* scrollpitch_ = nullptr;
    QLabel* pitchText_ = nullptr;
    QPushButton* button1_ = nullptr;
    std::array<Pad, DjControlMath::kPads> pads_{};
    QLabel* padMessage_ = nullptr;
    QSpinBox* spinEdit1_ = nullptr;
    QSpinBox* spinEdit2_ = nullptr;
    QPushButton* button2_ = nullptr;
    QCheckBox* chkFadeIn_ = nullptr;
    QComboBox* comboBox1_ = nullptr;
    QPushButton* btnsavefx_ = nullptr;
    QString lastPadFolder_;
};

}  // namespace ombrix
