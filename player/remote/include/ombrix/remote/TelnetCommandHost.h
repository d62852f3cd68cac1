#pragma once

#include <QHash>
#include <QMetaObject>
#include <QString>
#include <QStringList>
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
 * nested event loop) is answered "busy" and not carried out. Listing texts are kept once made
 * (reading every tag again for each "list" would hold the main thread for a long time), until
 * the playlist or the song changes or the disc record is replaced. A playlist loaded remotely
 * keeps only its entries inside the remote folder.
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
    ~TelnetCommandHost();

    /// The disc record of the CD in the drive for ".cda" entries, or nullptr. Not owned.
    void setDisc(const DiscTitles* disc) {
        disc_ = disc;
        listings_.clear();
    }

    /// Runs one trimmed command line; the reply has no final line end.
    QString execute(const QString& line);

    /// The text "list" shows for @p entry: CD track title, tag title and artist, or file name.
    QString listingText(const QString& entry) const;
    /// listingText(), kept for the next time.
    QString cachedListingText(const QString& entry);
    /// Listing texts kept now.
    qsizetype cachedListings() const noexcept { return listings_.size(); }

    /// What loading @p path adds: a playlist's entries inside the folder, else @p path.
    QStringList loadEntries(const QString& path) const;

    /// @p telnetpath as a folder: a relative one is taken from the home folder.
    QString folder() const;

private:
    TelnetView view();
    void run(const TelnetAction& action);

    PlaybackController& controller_;
    const SettingsStore& store_;
    QString version_;
    std::function<void()> shutdown_;
    const DiscTitles* disc_ = nullptr;
    bool running_ = false;
    QHash<QString, QString> listings_;  // entry -> its listing text
    QMetaObject::Connection changes_;
};

}  // namespace ombrix
