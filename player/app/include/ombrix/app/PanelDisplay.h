#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

#include "ombrix/app/MainDisplay.h"
#include "ombrix/settings/PlayerSettings.h"
#include "ombrix/skin/PanelCommands.h"
#include "ombrix/skin/PanelPresenter.h"
#include "ombrix/skin/PanelZoom.h"

class QAction;
class QActionGroup;
class QMenu;

namespace ombrix {

class MainMenus;
class PlaybackController;
class SettingsStore;
class SurfaceWidget;

/**
 * @brief The main window's skinned panel: shows the panel's surfaces, passes the mouse to
 *        PanelPresenter and carries out its commands on the playback controller and the menus;
 *        adds the Panel and Coolbar menus and the installation of panel archives.
 *
 * Thread affinity: main thread.
 */
class PanelDisplay final : public QWidget, public MainDisplay, public PanelCommands {
public:
    struct Wiring {
        PlaybackController* controller = nullptr;
        SettingsStore* store = nullptr;
        MainMenus* menus = nullptr;
        std::function<void()> openFiles;
        std::function<void()> closeWindow;
        std::function<void()> hideWindow;
        /// An information box titled with the application title.
        std::function<void(const QString&)> tell;
        /// Fills the panel's plug-in menu (the same as the main menu's Plug-In menu).
        std::function<void(QMenu*)> fillPluginMenu;
        /// Lines of the credits roll.
        QStringList credits;
        /// Where the installed default data is (a panel of last resort); may be empty.
        QString defaultDataDir;
    };

    PanelDisplay(Wiring wiring, QWidget* parent = nullptr);
    ~PanelDisplay() override;

    /// Selects the panel or the coolbar the settings name. False when neither it nor the
    /// folder's "default.bmp" can be used; the fatal message has then been given.
    bool start();

    // MainDisplay
    QWidget* widget() override { return this; }
    void showState(const PlayerState& state) override;
    void tick(const PlayerState& state) override;
    bool wantsTicks(const PlayerState& state) const override;
    bool showsVolume() const override;
    QSize sizeHint() const override;
    /// How large the panel is shown, from the settings and the screen.
    PanelZoom zoom() const;
    /// Stores zoom setting @p setting (`panelzoom`: 1..3, 0 follows the screen) and applies it.
    void setZoom(int setting);

protected:
    /// The cursor left the window (for a tool window it opened, say): no element stays lit.
    void leaveEvent(QEvent* event) override;

public:
    PanelPresenter& panel() noexcept { return panel_; }
    /// Selects panel @p name of the panel folder (leaves coolbar mode). False when refused.
    bool selectPanel(const QString& name);
    bool selectCoolbar(const QString& name);
    void toggleCoolbarMode();
    bool coolbarMode() const;
    /// Installs a panel archive into the panel (or coolbar) folder and lists it.
    bool installArchive(const QString& zipPath, bool asCoolbar);
    /// Fills the Panel and Coolbar menus from the folders.
    void rebuildMenus();
    QMenu* panelMenu() const { return panelMenu_; }
    QMenu* coolbarMenu() const { return coolbarMenu_; }
    /// The fatal message when no panel can be found at all.
    static QString missingMessage(bool coolbar);

    // PanelCommands
    void openFiles() override;
    bool openAllowed() const override;
    void play() override;
    void stop() override;
    void pause() override;
    void resume() override;
    void seekHeld(bool forward) override;
    void seekReleased() override;
    void volumeHeld(bool up) override;
    void volumeReleased() override;
    void showPlaylist() override;
    void showDjControl() override;
    void closeWindow() override;
    void hideWindow() override;
    void next() override;
    void previous() override;
    void pluginMenu(QPoint panelPoint) override;
    void configuration() override;
    void toggle(int element) override;
    bool toggleState(int element) const override;
    void outputLevel(int volume, int pan) override;
    void setHandCursor(bool hand) override;
    void startWindowDrag() override;
    void toggleCoolbar() override { toggleCoolbarMode(); }
    void playEntry(int index) override;
    void seekTo(double fraction) override;
    void firstRelease() override;

protected:
    /// Tooltips: the panel says what the element under the pointer does.
    bool event(QEvent* e) override;

private:
    void buildSizeMenu(QMenu* setup);
    QString folder(bool coolbar) const;
    bool select(bool coolbar, const QString& name, bool fatal);
    void layoutPanel();
    void applyOptions();
    /// Applies what changed of the settings the panel shows.
    void followSettings();
    void loadScreenResources();
    void flush();
    void trigger(const char* action);
    QAction* toggleAction(int element) const;
    void askInstall();

    Wiring w_;
    PanelPresenter panel_;
    SurfaceWidget* dpb2_ = nullptr;
    SurfaceWidget* dpb_ = nullptr;
    SurfaceWidget* dpblcdtitle_ = nullptr;
    SurfaceWidget* dpbvolume_ = nullptr;
    QMenu* panelMenu_ = nullptr;
    QMenu* coolbarMenu_ = nullptr;
    QAction* coolbarModeAction_ = nullptr;
    QAction* installAction_ = nullptr;
    QActionGroup* panelGroup_ = nullptr;
    QActionGroup* coolbarGroup_ = nullptr;
    QActionGroup* sizeGroup_ = nullptr;
    std::unique_ptr<QMenu> pluginMenu_;
    QList<QAction*> shortcutActions_;
    PlayerSettings shownSettings_;  // the settings the panel shows
    bool optionsApplied_ = false;
};

}  // namespace ombrix
