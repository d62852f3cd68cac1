#pragma once

#include <QString>
#include <functional>

#include "ombrix/remote/TelnetInterpreter.h"

namespace ombrix {

class DiscTitles;
class PlaybackController;
class SettingsStore;

/**
 * @brief Runs remote-control command lines against the real player: builds the interpreter's
 *        view from the controller and the settings, carries out the action through the same
 *        controller operations the menus use, and returns the reply.
 *
 * A command that arrives while another one is still running (a song being opened can run a
 * nested event loop) is answered "busy" and not carried out.
 * Thread affinity: main thread. Does not throw.
 */
class TelnetCommandHost {
public:
    /// @param version the main window's title
    /// @param shutdown closes the main window (called only with "allowshutdown")
    TelnetCommandHost(PlaybackController& controller, const SettingsStore& store, QString version,
                      std::function<void()> shutdown);
    TelnetCommandHost(const TelnetCommandHost&) = delete;
    TelnetCommandHost& operator=(const TelnetCommandHost&) = delete;

    /// The disc record of the CD in the drive for ".cda" entries, or nullptr. Not owned.
    void setDisc(const DiscTitles* disc) noexcept { disc_ = disc; }

    /// Runs one trimmed command line; the reply has no final line end.
    QString execute(const QString& line);

    /// The text "list" shows for @p entry: CD track title, tag title and artist, or file name.
    QString listingText(const QString& entry) const;

    /// @p telnetpath as a folder: a relative one is taken from the home folder.
    QString folder() const;

private:
    TelnetView view() const;
    void run(const TelnetAction& action);

    PlaybackController& controller_;
    const SettingsStore& store_;
    QString version_;
    std::function<void()> shutdown_;
    const DiscTitles* disc_ = nullptr;
    bool running_ = false;
};

}  // namespace ombrix
