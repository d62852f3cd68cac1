#pragma once

#include <QList>
#include <QMenu>
#include <QObject>
#include <QStringList>
#include <memory>

class QAction;
class QActionGroup;

namespace ombrix {

class IniDocument;

/**
 * @brief The main window's menus: the main pop-up menu with its "Set Up", "Player Priority"
 *        and "ReplayGain" submenus and the recent lists, and the tray menu. Items carry the object names the
 *        rest of the program (and the language file) know them by.
 *
 * Thread affinity: main thread.
 */
class MainMenus : public QObject {
    Q_OBJECT
public:
    explicit MainMenus(QObject* parent = nullptr);
    ~MainMenus() override;

    QMenu* mainPopup() const { return mainPopup_.get(); }
    QMenu* setupMenu() const { return setup1_; }
    /// Background, Fullscreen and Amp; filled each time it opens.
    QMenu* plugInMenu() const { return plugIn1_; }
    QMenu* trayMenu() const { return trayMenu_.get(); }

    /// The item with object name @p name in any of the menus, or nullptr.
    QAction* item(const QString& name) const;

    /// Checks the "Player Priority" item @p index (0..4).
    void checkPriority(int index);
    /// Checks the "ReplayGain" item @p mode (0 off, 1 track, 2 album).
    void checkReplayGain(int mode);
    /// Fills the recent menus (newest first).
    void setRecent(const QStringList& files, const QStringList& folders);
    /// Relabels the menus from the language file's sections "fmain.mainpopup", "fmain.setup1"
    /// and "fmain.popupmenu1" (keys are item positions).
    void applyLanguage(const IniDocument& ini);

signals:
    void priorityChosen(int index);
    void replayGainChosen(int mode);
    void recentFileChosen(const QString& file);
    void recentFolderChosen(const QString& folder);

private:
    QAction* add(QMenu* menu, const QString& name, const QString& text, bool checkable = false);
    static void relabel(QMenu* menu, const IniDocument& ini, const QString& section);
    static void fillRecent(QMenu* menu, const QStringList& items,
                           const std::function<void(const QString&)>& chosen);

    std::unique_ptr<QMenu> mainPopup_;
    std::unique_ptr<QMenu> trayMenu_;
    QMenu* plugIn1_ = nullptr;
    QMenu* setup1_ = nullptr;
    QMenu* priority_ = nullptr;
    QMenu* recent1_ = nullptr;
    QMenu* recent2_ = nullptr;
    QMenu* recentFolder1_ = nullptr;
    QActionGroup* priorityGroup_ = nullptr;
    QMenu* replayGain_ = nullptr;
};

}  // namespace ombrix
