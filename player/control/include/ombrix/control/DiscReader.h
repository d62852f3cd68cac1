#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "ombrix/library/DiscLookup.h"
#include "ombrix/media/DiscWatcher.h"

namespace ombrix {

class DiscDatabase;
class DiscRecord;
class PlaybackController;
class SettingsStore;

/**
 * @brief The audio disc in the chosen drive: "Read CD tracks" (the menu, "@@cd", a disc put
 *        in), what a disc put in or taken out does to the playlist, and the disc's record,
 *        whose titles name its tracks.
 *
 * The drive is `cddrive` when set (a device such as "/dev/sr0", or a disc image), else drive
 * number `cdindex` of those libcdio found at start. Reading never blocks on the network: the titles are
 * looked up in the background and the tracks become the playlist when they are known.
 *
 * Thread affinity: main thread.
 */
class DiscReader : public QObject {
    Q_OBJECT
public:
    DiscReader(PlaybackController& controller, SettingsStore& store, const QString& databasePath,
               DiscLookup::Ask ask, DiscWatcher::Probe probe = &discPresent);
    ~DiscReader() override;

    /// The drive in use; empty when there is none.
    QString drive() const;
    /// Names the disc in the drive and makes its tracks the playlist, playing the first.
    void readTracks();
    /// A disc came into the drive: its own playlist ("musicdisk.dmp") or its tracks play.
    void discArrived();
    /// The disc left the drive: a track of it that plays stops and its entries go.
    void discRemoved();
    DiscRecord& record() noexcept { return *record_; }
    const DiscRecord& record() const noexcept { return *record_; }
    DiscDatabase& database() noexcept { return *database_; }
    /// True once a disc has been read, until it leaves the drive: its titles can be edited.
    bool discKnown() const noexcept { return known_; }
    DiscWatcher& watcher() noexcept { return watcher_; }

signals:
    /// Something the user must read (a look-up that failed).
    void message(const QString& text);
    /// A disc was read (true) or left the drive (false).
    void discKnownChanged(bool known);
    /// The record has new titles (a look-up ended).
    void recordChanged();

private:
    void lookupFinished(const QStringList& entries);
    void watchDrive();

    PlaybackController& controller_;
    SettingsStore& store_;
    std::unique_ptr<DiscDatabase> database_;
    std::unique_ptr<DiscRecord> record_;
    std::unique_ptr<DiscLookup> lookup_;
    DiscWatcher watcher_;
    // The drives found at start: probing them costs a scan of the devices, and the menus ask
    // for the drive on every change of the settings.
    QStringList drives_;
    bool known_ = false;
};

}  // namespace ombrix
