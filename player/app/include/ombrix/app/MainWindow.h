#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "ombrix/control/AudioMixer.h"
#include "ombrix/control/Clock.h"
#include "ombrix/control/ControllerHost.h"
#include "ombrix/control/SessionMarker.h"
#include "ombrix/media/EntryResolver.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/media/TempRegister.h"
#include "ombrix/settings/SettingsStore.h"

namespace ombrix {

class AudioMixer;
class DesktopIntegration;
class GlobalHotKeys;
class MainDisplay;
class MainMenus;
class PlaybackController;
class SingleInstance;
class TelnetDaemon;
class PlaylistWindow;
class DjWindow;
class EqualizerWindow;
class TagWindow;
class EffectsDesk;
class EqualizerSink;

/**
 * @brief The main window: owns the playlist's controller, the settings, the menus, the tray
 *        icon, the hot keys and the display, and forwards every event to the controller.
 *
 * Frameless; dragged with the left mouse button, menus on the right one.
 * Thread affinity: main thread.
 */
class MainWindow final : public QWidget, public ControllerHost {
    Q_OBJECT
public:
    struct Options {
        QString home;                        ///< the home folder (already resolved)
        QStringList args;                    ///< command-line arguments without program options
        SingleInstance* instance = nullptr;  ///< receives second-instance messages; may be null
        std::unique_ptr<AudioMixer> mixer;   ///< nullptr: the system's mixer
        std::unique_ptr<Clock> clock;        ///< nullptr: the system clock
        bool hotKeys = true;                 ///< register system-wide keys when enabled
    };

    explicit MainWindow(Options options);
    ~MainWindow() override;

    PlaybackController& controller() { return *controller_; }
    SettingsStore& store() { return store_; }
    MainMenus& menus() { return *menus_; }
    QSystemTrayIcon& tray() { return tray_; }

    /// Handles a message of a second instance (the text of its 256-byte block).
    void handleInstanceMessage(const QString& text);
    /// Adds dropped local files and folders (the rules of a drop on the window).
    void dropPaths(const QStringList& paths);
    /// The exit saves ran (settings, playlist, temporary files).
    bool exitSaved() const noexcept { return exitSaved_; }
    /// No panel could be shown: the program cannot be operated and ends (after saying why).
    bool startFailed() const noexcept { return startFailed_; }
    /// Hides the main window to the tray (after a start with files, a hot key).
    void hideToTray();

    // ControllerHost
    void closeProgram() override;
    void showMessage(const QString& text) override;
    void openTagEditor(const QString& file) override;

    /// The playlist window, created on first use.
    PlaylistWindow& playlistWindow();
    /// Opens the playlist window (menu, panel button, hot key).
    void showPlaylistWindow();
    /// The tool windows, created on first use and kept until the program ends.
    TagWindow& tagWindow();
    DjWindow& djWindow();
    EqualizerWindow& equalizerWindow();
    /// Shows @p window, raised above the others.
    static void present(QWidget& window);
    /// "Save playlist as": asks for a file and writes the main playlist.
    void savePlaylistAs();
    /// Saves the main playlist on the desktop under a name the user confirms.
    void savePlaylistToDesktop(const QString& desktopFolder);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QString loadCredits() const;
    void applyStoredEffects();
    void buildMenus();
    void connectMenus();
    void loadStartFiles();
    void applyLanguage();
    void registerHotKeys();
    void onChanged(int mask);
    void refreshMenus();
    void restoreFromTray();
    void openFiles(const QString& folder, bool replace);
    void exportImage();
    void showAbout();
    void exitSave();
    void reportSaveError(const QString& what, const std::exception& e);
    void tell(const QString& text, QMessageBox::Icon icon);
    void addCollected(const QStringList& files, const QStringList& statusTexts);

    Home home_;
    SettingsStore store_;
    TempRegister temps_;
    std::unique_ptr<MediaIdentifier> media_;
    std::unique_ptr<EntryResolver> resolver_;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<AudioMixer> mixer_;
    std::unique_ptr<PlaybackController> controller_;
    std::unique_ptr<MainMenus> menus_;
    std::unique_ptr<GlobalHotKeys> hotKeys_;
    std::unique_ptr<MainDisplay> display_;
    std::unique_ptr<TelnetDaemon> telnet_;
    std::unique_ptr<DesktopIntegration> desktop_;  // MPRIS2 and notifications
    // The tool windows write their settings through the store and the controller when they
    // are destroyed: declared after both, they go first.
    std::unique_ptr<EffectsDesk> effectsDesk_;
    std::unique_ptr<EqualizerSink> equalizerSink_;
    std::unique_ptr<PlaylistWindow> playlistWindow_;
    std::unique_ptr<TagWindow> tagWindow_;
    std::unique_ptr<DjWindow> djWindow_;
    std::unique_ptr<EqualizerWindow> equalizerWindow_;
    SessionMarker marker_;
    QSystemTrayIcon tray_;
    QTimer timer1_;  // 500 ms: elapsed time, intro, end of song
    QTimer timer2_;  // 100 ms: display, deferred start, alarm, volume ramp, status
    QTimer timer3_;  // 100 ms: fades
    QStringList args_;
    QString credits_;
    bool shownOnce_ = false;
    bool hideAfterStart_ = false;
    bool hiddenAfterStart_ = false;
    bool closing_ = false;
    bool exitSaved_ = false;
    bool startFailed_ = false;
    bool saveErrorShown_ = false;
    bool playlistDirty_ = false;
    bool wantHotKeys_ = true;
};

}  // namespace ombrix
