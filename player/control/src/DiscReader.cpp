#include "ombrix/control/DiscReader.h"

#include <QDir>
#include <QFileInfo>

#include "ombrix/control/PlaybackController.h"
#include "ombrix/library/DiscDatabase.h"
#include "ombrix/library/DiscRecord.h"
#include "ombrix/library/PlaylistFile.h"
#include "ombrix/media/CdDisc.h"
#include "ombrix/settings/SettingsStore.h"

namespace ombrix {

namespace {
const QString kDiscPlaylist = QStringLiteral("musicdisk.dmp");
}  // namespace

DiscReader::DiscReader(PlaybackController& controller, SettingsStore& store,
                       const QString& databasePath, DiscLookup::Ask ask, DiscWatcher::Probe probe)
    : controller_(controller),
      store_(store),
      database_(std::make_unique<DiscDatabase>(databasePath)),
      record_(std::make_unique<DiscRecord>()),
      lookup_(std::make_unique<DiscLookup>(*record_, *database_,
                                           DiscLookup::Options::fromSettings(store.settings()))),
      watcher_(std::move(probe)),
      drives_(listCdDrives()) {
    controller_.setDiscTitles(record_.get());
    lookup_->setAsk(std::move(ask));
    connect(lookup_.get(), &DiscLookup::status, this,
            [this](const QString& text) { controller_.showStatus(text); });
    connect(lookup_.get(), &DiscLookup::message, this, &DiscReader::message);
    connect(lookup_.get(), &DiscLookup::finished, this, &DiscReader::lookupFinished);
    connect(&watcher_, &DiscWatcher::arrived, this, &DiscReader::discArrived);
    connect(&watcher_, &DiscWatcher::removed, this, &DiscReader::discRemoved);
    connect(&store_, &SettingsStore::changed, this, &DiscReader::watchDrive);
    watchDrive();
}

DiscReader::~DiscReader() {
    controller_.setDiscTitles(nullptr);
}

QString DiscReader::drive() const {
    const PlayerSettings& s = store_.settings();
    if (!s.cddrive.isEmpty()) return s.cddrive;
    return s.cdindex >= 0 && s.cdindex < drives_.size() ? drives_[s.cdindex] : QString();
}

void DiscReader::watchDrive() {
    const QString d = drive();
    if (d != watcher_.drive()) watcher_.setDrive(d);
}

void DiscReader::readTracks() {
    const QString d = drive();
    if (d.isEmpty()) {
        controller_.showStatus(QStringLiteral("no CD drive"));
        return;
    }
    // A track of this drive that plays lets the drive go first.
    if (controller_.state().currentEntry.startsWith(d + QLatin1Char('/'))) controller_.stop();
    std::unique_ptr<CdDisc> disc;
    try {
        disc = CdDisc::open(d);
    } catch (const CdError& e) {
        controller_.showStatus(QString::fromUtf8(e.what()));
        return;
    }
    lookup_->setOptions(DiscLookup::Options::fromSettings(store_.settings()));
    lookup_->start(*disc);
    if (!known_) {
        known_ = true;
        emit discKnownChanged(true);
    }
}

void DiscReader::lookupFinished(const QStringList& entries) {
    emit recordChanged();
    if (entries.isEmpty()) return;
    controller_.stop();
    controller_.clearPlaylist();
    controller_.addFiles(entries, true);
}

void DiscReader::discArrived() {
    if (!store_.settings().detectcdload) return;
    const QString root = discRootFolder(drive());
    const QString own = root.isEmpty() ? QString() : QDir(root).filePath(kDiscPlaylist);
    if (!own.isEmpty() && QFileInfo(own).isFile()) {
        const QStringList entries = PlaylistFile::load(own);
        if (!entries.isEmpty()) {
            controller_.stop();
            controller_.clearPlaylist();
            controller_.addFiles(entries, true);
            return;
        }
    }
    readTracks();
}

void DiscReader::discRemoved() {
    if (known_) {
        known_ = false;
        emit discKnownChanged(false);
    }
    const QString prefix = watcher_.drive() + QLatin1Char('/');
    if (controller_.state().currentEntry.startsWith(prefix)) controller_.stop();
    // From the end, so that the indices still to visit do not move.
    const QStringList& list = controller_.playlist();
    for (int i = static_cast<int>(list.size()) - 1; i >= 0; --i)
        if (list.at(i).startsWith(prefix)) controller_.removeEntry(i);
}

}  // namespace ombrix
