#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <memory>

#include <functional>

#include "ombrix/settings/Home.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/windows/config/ConfigWindow.h"

namespace ombrix {

class GlobalHotKeys;
class MainDisplay;
class MainMenus;
class PanelDisplay;
class PluginWindows;
class PlaybackController;
class PlaylistWindow;
class DiscTitles;
class DjWindow;
class EqualizerWindow;
class TagWindow;
class EffectsDesk;
class EqualizerSink;
class SystemTray;
class ToolWindowStyle;

/**
 * @brief The main window: the panel, the menus, the tray icon, the hot keys and the tool
 *        windows. It shows the controller's state and forwards every event to the controller;
 *        the objects it shows are built and owned by the composition root (PlayerApplication).
 *
 * Frameless; dragged with the left mouse button, menus on the right one.
 * Thread affinity: main thread.
 */
class MainWindow final : public QWidget {
    Q_OBJECT
public:
    /// What the window shows and drives; all of it outlives the window.
    struct Parts {
        PlaybackController& controller;
        SettingsStore& store;
        const Home& home;
        EffectsDesk& effectsDesk;
        EqualizerSink& equalizerSink;
        const SystemTray& systemTray;   ///< whether the desktop has a tray to hide to
        bool hotKeys = true;            ///< register system-wide keys when enabled
        std::function<void()> closing;  ///< the window closes: the exit saves run
    };

    explicit MainWindow(Parts parts);
    ~MainWindow() override;

    PlaybackController& controller() { return controller_; }
    SettingsStore& store() { return store_; }
    MainMenus& menus() { return *menus_; }
    /// The plug-in menus and windows; null without a panel.
    PluginWindows* pluginWindows() { return pluginWindows_.get(); }
    QSystemTrayIcon& tray() { return tray_; }

    /// No panel could be shown: the window cannot be operated.
    bool startFailed() const noexcept { return startFailed_; }
    /// Shows the state once everything is wired.
    void start();
    /// After a start with files the window goes to the tray once the first song plays.
    void hideWhenPlaying() noexcept { hideAfterStart_ = true; }
    /// The window will go to the tray once the first song plays.
    bool hidesWhenPlaying() const noexcept { return hideAfterStart_ && !hiddenAfterStart_; }
    /// Adds dropped local files and folders (the rules of a drop on the window).
    void dropPaths(const QStringList& paths);
    /// Hides the main window to the tray (after a start with files, a hot key); minimises it
    /// on a desktop without a tray.
    void hideToTray();
    void restoreFromTray();
    /// An information box titled with the application title.
    void showMessage(const QString& text);
    /// A box with @p icon; on the offscreen platform only a log line (nobody could close it).
    void tell(const QString& text, QMessageBox::Icon icon);
    /// An information box before the window exists.
    static void tellWithoutWindow(const QString& text);
    /// Opens the tag editor on @p file.
    void openTagEditor(const QString& file);

    /// The record of the disc in the CD drive, which names CD track rows, and how to read the
    /// disc (the playlist window's button).
    void setDisc(const DiscTitles* disc, std::function<void()> readCd,
                 std::function<bool()> hasDrive);
    /// The disc's record has new titles.
    void discTitlesChanged();

    /// The playlist window, created on first use.
    PlaylistWindow& playlistWindow();
    /// Opens the playlist window (menu, panel button, hot key).
    void showPlaylistWindow();
    /// The tool windows, created on first use and kept until the program ends.
    TagWindow& tagWindow();
    DjWindow& djWindow();
    EqualizerWindow& equalizerWindow();
    /// The look of the windows beside the panel (taken from the panel unless the desktop's).
    ToolWindowStyle& windowStyle() { return *windowStyle_; }
    /// The controller's 500 ms tick runs.
    bool slowTicking() const noexcept { return timer1_.isActive(); }
    /// The 100 ms tick (display and controller) runs.
    bool fastTicking() const noexcept { return timer2_.isActive(); }
    /// Opens the configuration window, or raises it when it is open (menu, panel, first run).
    void openConfiguration();
    /// The configuration window while it is open.
    ConfigWindow* configWindow() const { return configWindow_; }
    /// Why the telnet server does not listen as the settings ask (empty when it does).
    void setTelnetState(std::function<QString()> state) { telnetState_ = std::move(state); }
    /// Shows @p window, raised above the others.
    static void present(QWidget& window);
    /// "Save playlist as": asks for a file and writes the main playlist.
    void savePlaylistAs();
    /// Saves the main playlist on the desktop under a name the user confirms.
    void savePlaylistToDesktop(const QString& desktopFolder);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    static void showBox(QWidget* parent, const QString& text, QMessageBox::Icon icon);
    QString loadCredits() const;
    void connectMenus();
    void applyLanguage();
    void registerHotKeys();
    void onChanged(int mask);
    void refreshMenus();
    void openFiles(const QString& folder, bool replace);
    void exportImage();
    void showAbout();
    void addCollected(const QStringList& files, const QStringList& statusTexts);
    /// Gives the other windows the colours of the panel shown now, once per panel.
    void followPanel();
    /// Runs each timer only while it has work: the display's tick while it is seen and
    /// something moves on it, the controller's while it needs them. An idle or hidden player
    /// does not wake up for nothing.
    void scheduleTicks();
    /// The window is on screen: shown, not minimised, and exposed.
    bool displaySeen() const;

    PlaybackController& controller_;
    SettingsStore& store_;
    const Home& home_;
    EffectsDesk& effectsDesk_;
    EqualizerSink& equalizerSink_;
    const SystemTray& systemTray_;
    std::function<void()> closingHook_;
    std::unique_ptr<MainMenus> menus_;
    std::unique_ptr<GlobalHotKeys> hotKeys_;
    std::unique_ptr<MainDisplay> display_;
    PanelDisplay* panelDisplay_ = nullptr;  // display_ itself
    std::unique_ptr<PluginWindows> pluginWindows_;
    std::unique_ptr<ToolWindowStyle> windowStyle_;
    QString styledPanel_;  // the panel whose colours the windows show
    // The tool windows write their settings through the store and the controller when they
    // are destroyed.
    std::unique_ptr<PlaylistWindow> playlistWindow_;
    std::unique_ptr<TagWindow> tagWindow_;
    std::unique_ptr<DjWindow> djWindow_;
    std::unique_ptr<EqualizerWindow> equalizerWindow_;
    // Created when opened and freed when closed.
    QPointer<ConfigWindow> configWindow_;
    std::function<QString()> telnetState_;
    QSystemTrayIcon tray_;
    QTimer timer1_;  // 500 ms: elapsed time, intro, end of song
    QTimer timer2_;  // 100 ms: display, deferred start, alarm, volume ramp, status, fades
    QString credits_;
    const DiscTitles* disc_ = nullptr;
    std::function<void()> readCd_;
    std::function<bool()> hasCdDrive_;
    bool shownOnce_ = false;
    bool hideAfterStart_ = false;
    bool hiddenAfterStart_ = false;
    bool closing_ = false;
    bool startFailed_ = false;
};

}  // namespace ombrix
