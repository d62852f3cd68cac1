#pragma once

#include <QObject>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

#include "ombrix/control/AudioMixer.h"
#include "ombrix/control/Clock.h"
#include "ombrix/control/ControllerHost.h"
#include "ombrix/control/DropCollector.h"
#include "ombrix/control/SessionMarker.h"
#include "ombrix/desktop/SystemTray.h"
#include "ombrix/media/EntryResolver.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/media/TempRegister.h"
#include "ombrix/settings/Home.h"
#include "ombrix/settings/SettingsAutosave.h"
#include "ombrix/settings/SettingsStore.h"

namespace ombrix {

class DesktopIntegration;
class DiscReader;
class DiscTitleWindow;
class EffectsDesk;
class EqualizerSink;
class MainWindow;
class MediaControl;
class PlaybackController;
class RecordSubmission;
class ReplayGainScanner;
class SingleInstance;
class TelnetDaemon;

/**
 * @brief The composition root: builds the player's objects in their order, wires them, and
 *        keeps what outlives any window: the start-up playlist, the backup of the playlist, the
 *        session marker, second-instance messages and the saves at exit.
 *
 * The main window only shows the state and forwards the user's events; the controller's
 * requests (close, message, tag editor) reach it through this object.
 * Thread affinity: main thread.
 */
class PlayerApplication final : public QObject, public ControllerHost {
    Q_OBJECT
public:
    struct Options {
        QString home;                        ///< the home folder (already resolved)
        QStringList args;                    ///< command-line arguments without program options
        SingleInstance* instance = nullptr;  ///< receives second-instance messages; may be null
        std::unique_ptr<AudioMixer> mixer;   ///< nullptr: the system's mixer
        std::unique_ptr<Clock> clock;        ///< nullptr: the system clock
        std::unique_ptr<SystemTray> tray;    ///< nullptr: the desktop's tray, as Qt sees it
        bool hotKeys = true;                 ///< register system-wide keys when enabled
    };

    explicit PlayerApplication(Options options);
    ~PlayerApplication() override;  // saves what the exit saves, if nothing did yet
    PlayerApplication(const PlayerApplication&) = delete;
    PlayerApplication& operator=(const PlayerApplication&) = delete;

    /// No panel could be shown: the program cannot be operated and ends (after saying why).
    bool startFailed() const noexcept;

    MainWindow& window() { return *window_; }
    PlaybackController& controller() { return *controller_; }
    SettingsStore& store() { return store_; }

    /// Handles a message of a second instance (the text of its 256-byte block).
    void handleInstanceMessage(const QString& text);
    /// Saves the settings, the options and the playlist, removes the temporary files and ends
    /// the session marker. Runs once.
    void exitSave();
    /// The exit saves ran.
    bool exitSaved() const noexcept { return exitSaved_; }

    // ControllerHost
    void closeProgram() override;
    void showMessage(const QString& text) override;
    void openTagEditor(const QString& file) override;

private:
    void loadSettingsAndMedia(EntryResolver::Config& resolverConfig);
    void applyStoredEffects();
    void openMixer();
    /// Read CD tracks, the CD title editor and the submission of local records.
    void connectDiscCommands();
    void submitDiscRecords();
    void loadStartFiles();
    /// Hands @p names to @p done with every folder replaced by its files (the rules of a drop);
    /// at once when no name is a folder, else once a worker thread has walked them.
    void gatherFolders(const QStringList& names, std::function<void(const DropResult&)> done);
    void showStatusTexts(const QStringList& texts);
    void onChanged(int mask);
    void showUnsavedNote();
    void reportSaveError(const QString& what, const std::exception& e);

    Home home_;
    SettingsStore store_;
    TempRegister temps_;
    std::unique_ptr<MediaIdentifier> media_;
    std::unique_ptr<EntryResolver> resolver_;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<AudioMixer> mixer_;
    std::unique_ptr<SystemTray> tray_;
    SessionMarker marker_;
    std::unique_ptr<EffectsDesk> effectsDesk_;
    std::unique_ptr<EqualizerSink> equalizerSink_;
    std::unique_ptr<ReplayGainScanner> gainScanner_;  // before the controller, which uses it
    std::unique_ptr<MediaControl> mediaControl_;  // sound files, MIDI, CD tracks and video
    std::unique_ptr<PlaybackController> controller_;
    std::unique_ptr<DiscReader> discReader_;  // the disc in the chosen CD drive
    // Declared after what they use, so they go first.
    std::unique_ptr<MainWindow> window_;
    // Parented to the main window for their place on screen, but owned here and so destroyed
    // before it.
    std::unique_ptr<DiscTitleWindow> discTitleWindow_;
    std::unique_ptr<RecordSubmission> submission_;
    std::unique_ptr<TelnetDaemon> telnet_;
    std::unique_ptr<SettingsAutosave> autosave_;
    std::unique_ptr<DesktopIntegration> desktop_;  // MPRIS2 and notifications
    QStringList args_;
    // Set when the player ends: folder walks still running stop at their next entries.
    std::shared_ptr<std::atomic<bool>> ending_ = std::make_shared<std::atomic<bool>>(false);
    bool exitSaved_ = false;
    bool saveErrorShown_ = false;
    bool playlistDirty_ = false;
};

}  // namespace ombrix
