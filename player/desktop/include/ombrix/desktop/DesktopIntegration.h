#pragma once

#include <QObject>
#include <functional>
#include <memory>

namespace ombrix {

class GlobalHotKeys;
class MprisService;
class PlaybackController;
class SettingsStore;
class SongNotifier;

/**
 * @brief What the player owns of the desktop: the MPRIS2 service on the session bus (media
 *        keys and the desktop's media widgets) and the song notifications (setting
 *        "songnotify"). Without a session bus the player runs as before and says so once.
 *
 * Thread affinity: main thread. Nothing throws.
 */
class DesktopIntegration : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void()> raise;                 ///< show the main window
        std::function<void()> quit;                  ///< close the program
        std::function<void(const QString&)> status;  ///< a line for the user
    };

    DesktopIntegration(PlaybackController& controller, const SettingsStore& store, Hooks hooks,
                       QObject* parent = nullptr);
    ~DesktopIntegration() override;

    /// Connects to the session bus and registers the MPRIS2 service. False (said once through
    /// the status hook) when there is no session bus or the name cannot be had.
    bool start();
    /// The MPRIS2 service, or nullptr before start() or without a bus.
    MprisService* mpris() const noexcept { return mpris_.get(); }

    /**
     * @brief System-wide keys: X11 key grabs where the session allows them, else the desktop
     *        portal's GlobalShortcuts when the session bus offers it, else a stand-in whose
     *        reason also says that media keys still work through MPRIS.
     */
    static std::unique_ptr<GlobalHotKeys> createHotKeys(QObject* parent = nullptr);

    static inline const QString kNoBusMessage = QStringLiteral(
        "no session bus: media keys and the desktop's media controls are not available");

private:
    PlaybackController& controller_;
    const SettingsStore& store_;
    Hooks hooks_;
    std::unique_ptr<MprisService> mpris_;
    std::unique_ptr<SongNotifier> notifier_;
};

}  // namespace ombrix
