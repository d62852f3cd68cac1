#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

#include "ombrix/skin/VisualPlugins.h"
#include "ombrix/windows/visuals/FullScreenPicture.h"

class QMenu;
class QWidget;

namespace ombrix {

class FullScreenWindow;
class SettingsStore;
class VisualizationWindow;
struct PlayerState;

/**
 * @brief The plug-in menus (Background, Fullscreen, Amp) and the windows plug-ins draw in: the
 *        full-screen window and the visualisation's window; feeds VisualPlugins every tick.
 *
 * The main context menu and the panel's "plug" menu are filled by fillMenu() from the same
 * state, so both show the same choice. Thread affinity: main thread.
 */
class PluginWindows final : public QObject {
    Q_OBJECT
public:
    PluginWindows(SettingsStore& store, const QString& home, QWidget* mainWindow,
                  std::function<void(const QString&)> message);
    ~PluginWindows() override;

    VisualPlugins& plugins() noexcept { return plugins_; }
    /// Lists the plug-ins and chooses the background the settings name.
    void start();
    /// Puts the Background, Fullscreen and Amp menus into @p menu (cleared first).
    void fillMenu(QMenu* menu);
    /// The full-screen window or a visualisation runs: ticks are wanted even without a panel.
    bool active() const noexcept { return plugins_.active(); }
    /// One 100 ms tick: levels (and for a visualisation the waveform and spectrum) to the
    /// plug-ins, their pictures to their windows.
    void tick(const PlayerState& state);

    void chooseBackground(int index);
    void openFullScreen(int index);
    void chooseAmp(int index);
    /// "bump map", the bump background's settings.
    void openBumpSettings(QWidget* parent);

    // The configuration window's plug-in page: entries are those of VisualPlugins::entries().
    QString description(const QString& entry) const;
    /// The plug-in's own settings ("bump map" for the bump), or why there are none.
    void properties(const QString& entry, QWidget* parent);

signals:
    /// A window of a plug-in opened or closed: the tick may be needed, or no longer.
    void activityChanged();

private:
    void closeFullScreen();
    void closeAmp();
    FullScreenPicture::Text fullScreenText(const PlayerState& state);

    SettingsStore& store_;
    QString home_;
    QWidget* main_;
    VisualPlugins plugins_;
    std::unique_ptr<FullScreenWindow> fullScreen_;
    std::unique_ptr<VisualizationWindow> amp_;
    std::array<uint8_t, 2 * 576> waveform_{};
    std::array<uint8_t, 2 * 576> spectrum_{};
    quint64 fullPlayback_ = 0;
    int fullSlide_ = 0;
};

}  // namespace ombrix
