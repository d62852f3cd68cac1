#include "ombrix/remote/TelnetCommandHost.h"

#include <QDir>
#include <QFileInfo>
#include <utility>

#include "ombrix/control/EntryExpander.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/control/PlayerState.h"
#include "ombrix/library/Playlist.h"
#include "ombrix/library/SongTag.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/remote/TelnetFolder.h"
#include "ombrix/settings/SettingsStore.h"

namespace ombrix {

TelnetCommandHost::TelnetCommandHost(PlaybackController& controller, const SettingsStore& store,
                                     QString version, std::function<void()> shutdown)
    : controller_(controller),
      store_(store),
      version_(std::move(version)),
      shutdown_(std::move(shutdown)) {
    // A tag is written when its song closes; entries come and go with the playlist.
    changes_ = QObject::connect(&controller_, &PlaybackController::changed, [this](int mask) {
        if (mask & (kChangePlaylist | kChangeSong)) listings_.clear();
    });
}

TelnetCommandHost::~TelnetCommandHost() {
    QObject::disconnect(changes_);
}

QString TelnetCommandHost::folder() const {
    const QString path = store_.settings().telnetpath;
    if (path.isEmpty() || QDir::isAbsolutePath(path)) return path;
    return store_.home().path(path);
}

TelnetView TelnetCommandHost::view() {
    const PlayerState st = controller_.state();
    TelnetView v;
    v.volume = st.volume;
    v.version = version_;
    v.line1 = st.line1;
    v.line2 = st.line2;
    v.playing = st.playing;
    v.entryCount = static_cast<int>(controller_.playlist().size());
    v.listingText = [this](int i) { return cachedListingText(controller_.playlist().at(i)); };
    v.telnetpath = folder();
    v.allowShutdown = store_.settings().allowshutdown;
    v.findFile = &TelnetFolder::findFile;
    v.listFolder = &TelnetFolder::list;
    return v;
}

QString TelnetCommandHost::listingText(const QString& entry) const {
    if (MediaIdentifier::extension(entry) == QLatin1String(".cda"))
        return Playlist::cdTrackText(entry, disc_);
    const QString fileName = QFileInfo(entry).fileName();
    if (entry.startsWith(QLatin1String("http"))) return fileName;
    const PlayerSettings& s = store_.settings();
    SongTag tag;
    if (!tag.readTexts(entry, LegacyText::Choice::fromSettings(s.tagcodepage, s.language)) ||
        !tag.hasTexts())
        return fileName;
    return tag.artist.isEmpty() ? tag.title : tag.title + QStringLiteral(" / ") + tag.artist;
}

QString TelnetCommandHost::cachedListingText(const QString& entry) {
    const auto it = listings_.constFind(entry);
    if (it != listings_.cend()) return *it;
    return *listings_.insert(entry, listingText(entry));
}

QStringList TelnetCommandHost::loadEntries(const QString& path) const {
    const QString ext = MediaIdentifier::extension(path);
    if (ext != QLatin1String(".dmp") && ext != QLatin1String(".m3u")) return {path};
    const MediaIdentifier media(store_.mediaTypes().flat);
    ExpansionRules rules;
    rules.keepWebAddresses = false;
    rules.expandArchives = false;
    return TelnetFolder::confine(folder(), EntryExpander::expand(path, media, rules).entries);
}

QString TelnetCommandHost::execute(const QString& line) {
    if (running_) return QStringLiteral("busy");
    running_ = true;
    struct Done {
        bool& running;
        ~Done() { running = false; }
    } done{running_};
    TelnetResult r = TelnetInterpreter::parseCommand(line, view());
    run(r.action);
    if (r.action.kind == TelnetAction::Kind::PlayEntry)
        r.reply = TelnetInterpreter::playEntryReply(controller_.state().playing);
    return r.reply;
}

void TelnetCommandHost::run(const TelnetAction& action) {
    using Kind = TelnetAction::Kind;
    switch (action.kind) {
        case Kind::None:
            break;
        case Kind::SetVolume:
            controller_.setVolume(action.number);
            break;
        case Kind::Play:
            controller_.play();
            break;
        case Kind::PlayEntry:
            controller_.playEntry(action.number);
            break;
        case Kind::Stop:
            controller_.stop();
            break;
        case Kind::Next:
            controller_.next();
            break;
        case Kind::Prev:
            controller_.previous();
            break;
        case Kind::Load: {
            const QStringList entries = loadEntries(action.path);
            if (!entries.isEmpty()) controller_.addFiles(entries, true);
            break;
        }
        case Kind::Shutdown:
            if (shutdown_) shutdown_();
            break;
    }
}

}  // namespace ombrix
