#include "ombrix/desktop/MprisService.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QUrl>
#include <cmath>

#include "MprisPlayer.h"
#include "MprisRoot.h"
#include "ombrix/control/PlaybackController.h"

namespace ombrix {
namespace {

const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
// A jump of the elapsed time this much beyond what playing explains counts as a seek.
constexpr qint64 kSeekToleranceMs = 1500;
// How long a seek of our own may take to show in the position.
constexpr qint64 kOwnSeekWaitMs = 3000;

// The metadata as one comparable text (QVariant cannot compare object paths inside maps).
QString fingerprint(const QVariantMap& m) {
    QStringList parts;
    for (auto it = m.cbegin(); it != m.cend(); ++it) {
        QString value;
        if (it->userType() == qMetaTypeId<QDBusObjectPath>())
            value = it->value<QDBusObjectPath>().path();
        else if (it->userType() == QMetaType::QStringList)
            value = it->toStringList().join(QChar(0x1f));
        else
            value = it->toString();
        parts << it.key() + QLatin1Char('=') + value;
    }
    return parts.join(QChar(0x1e));
}

}  // namespace

MprisService::MprisService(PlaybackController& controller, Hooks hooks, QObject* parent)
    : QObject(parent),
      controller_(controller),
      hooks_(std::move(hooks)),
      bus_(QStringLiteral("ombrix-unconnected")),
      last_(controller.state()) {
    new MprisRoot(*this);  // adaptors belong to the object they serve
    new MprisPlayer(*this);
    lastProperties_ = playerProperties();
    connect(&controller_, &PlaybackController::changed, this, &MprisService::onChanged);
}

MprisService::~MprisService() {
    if (!registered_) return;
    bus_.unregisterObject(kObjectPath);
    if (!serviceName_.isEmpty()) bus_.unregisterService(serviceName_);
}

bool MprisService::registerOn(QDBusConnection bus) {
    bus_ = bus;
    if (!bus_.isConnected()) return false;
    if (!bus_.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) return false;
    registered_ = true;
    // Another running player (allowmulti) may hold the plain name.
    for (const QString& name :
         {kServiceName, kServiceName + QStringLiteral(".instance") +
                            QString::number(QCoreApplication::applicationPid())}) {
        if (bus_.registerService(name)) {
            serviceName_ = name;
            return true;
        }
    }
    return false;
}

QString MprisService::playbackStatus() const {
    const PlayerState& s = last_;
    if (s.paused) return QStringLiteral("Paused");
    // The pause between songs belongs to playing the playlist.
    if (s.playing || s.sleeping) return QStringLiteral("Playing");
    return QStringLiteral("Stopped");
}

QString MprisService::loopStatus() const {
    if (last_.repeatThisSong) return QStringLiteral("Track");
    return last_.autoRepeat ? QStringLiteral("Playlist") : QStringLiteral("None");
}

void MprisService::setLoopStatus(const QString& status) {
    if (status == QLatin1String("Track")) {
        controller_.setRepeatThisSong(true);
    } else if (status == QLatin1String("Playlist") || status == QLatin1String("None")) {
        controller_.setRepeatThisSong(false);
        controller_.setAutoRepeat(status == QLatin1String("Playlist"));
    }
}

bool MprisService::shuffle() const {
    return last_.random;
}

void MprisService::setShuffle(bool on) {
    controller_.setShuffle(on);
}

double MprisService::volume() const {
    return last_.volume / 127.0;
}

void MprisService::setVolume(double volume) {
    if (!std::isfinite(volume)) return;
    controller_.setVolume(int(std::lround(std::clamp(volume, 0.0, 1.0) * 127)));
}

qlonglong MprisService::position() const {
    if (!controller_.state().songOpen) return 0;
    return qlonglong(std::max(controller_.elapsedMs(), 0)) * 1000;
}

QDBusObjectPath MprisService::trackId() const {
    if (!last_.songOpen) return QDBusObjectPath(kNoTrack);
    return QDBusObjectPath(QStringLiteral("/org/ombrix/track/%1").arg(last_.playback));
}

QVariantMap MprisService::metadata() const {
    QVariantMap m;
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId()));
    if (!last_.songOpen) return m;
    if (last_.lengthMs > 0)
        m.insert(QStringLiteral("mpris:length"), qlonglong(last_.lengthMs) * 1000);
    m.insert(QStringLiteral("xesam:title"), last_.title);
    if (!last_.artist.isEmpty())
        m.insert(QStringLiteral("xesam:artist"), QStringList{last_.artist});
    if (!last_.album.isEmpty()) m.insert(QStringLiteral("xesam:album"), last_.album);
    const QString entry = last_.currentEntry.isEmpty() ? last_.currentFile : last_.currentEntry;
    const QUrl url =
        entry.startsWith(QLatin1String("http")) ? QUrl(entry) : QUrl::fromLocalFile(entry);
    m.insert(QStringLiteral("xesam:url"), QString::fromUtf8(url.toEncoded()));
    return m;
}

bool MprisService::canGoNext() const {
    return last_.count > 1;
}
bool MprisService::canGoPrevious() const {
    return last_.count > 1;
}
bool MprisService::canPlay() const {
    return last_.count > 0;
}
bool MprisService::canPause() const {
    return last_.songOpen;
}
bool MprisService::canSeek() const {
    return last_.songOpen && last_.lengthMs > 0;
}

void MprisService::next() {
    controller_.next();
}

void MprisService::previous() {
    controller_.previous();
}

void MprisService::pause() {
    const PlayerState s = controller_.state();
    if (s.playing && !s.paused) controller_.pause();
}

void MprisService::playPause() {
    const PlayerState s = controller_.state();
    if (s.paused)
        controller_.resume();
    else if (s.playing)
        controller_.pause();
    else
        controller_.play();
}

void MprisService::stop() {
    controller_.stop();
}

void MprisService::play() {
    const PlayerState s = controller_.state();
    if (s.paused)
        controller_.resume();
    else if (!s.playing)
        controller_.play();
}

void MprisService::seek(qlonglong offsetUs) {
    const PlayerState s = controller_.state();
    if (!s.songOpen || s.lengthMs <= 0) return;
    const qint64 lengthUs = qint64(s.lengthMs) * 1000;
    const qint64 nowUs = qint64(std::max(controller_.elapsedMs(), 0)) * 1000;
    // Saturating: a huge offset must not wrap round.
    const qint64 target = offsetUs > 0 ? (offsetUs > lengthUs - nowUs ? lengthUs : nowUs + offsetUs)
                                       : (offsetUs < -nowUs ? 0 : nowUs + offsetUs);
    if (target >= lengthUs) {
        controller_.next();  // past the end: the next song, as MPRIS asks
        return;
    }
    controller_.seekTo(double(target) / double(lengthUs));
    ownSeekMs_ = target / 1000;
    ownSeek_.start();
    emit seeked(target);
}

void MprisService::setPosition(const QDBusObjectPath& track, qlonglong positionUs) {
    const PlayerState s = controller_.state();
    if (!s.songOpen || s.lengthMs <= 0 || track != trackId()) return;
    if (positionUs < 0 || positionUs > qint64(s.lengthMs) * 1000) return;
    controller_.seekTo(double(positionUs) / (double(s.lengthMs) * 1000));
    ownSeekMs_ = positionUs / 1000;
    ownSeek_.start();
    emit seeked(positionUs);
}

void MprisService::openUri(const QString& uri) {
    if (uri.isEmpty() || uri.size() > kMaxUri) return;
    const QUrl url(uri, QUrl::StrictMode);
    QString entry;
    if (url.isLocalFile())
        entry = url.toLocalFile();
    else if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
        entry = url.toString();
    if (entry.isEmpty() || !controller_.acceptsFiles()) return;
    controller_.addFiles({entry}, true);
}

void MprisService::raise() {
    if (hooks_.raise) hooks_.raise();
}

void MprisService::quit() {
    if (hooks_.quit) hooks_.quit();
}

QVariantMap MprisService::playerProperties() const {
    QVariantMap p;
    p.insert(QStringLiteral("PlaybackStatus"), playbackStatus());
    p.insert(QStringLiteral("LoopStatus"), loopStatus());
    p.insert(QStringLiteral("Shuffle"), shuffle());
    p.insert(QStringLiteral("Volume"), volume());
    p.insert(QStringLiteral("Metadata"), metadata());
    p.insert(QStringLiteral("CanGoNext"), canGoNext());
    p.insert(QStringLiteral("CanGoPrevious"), canGoPrevious());
    p.insert(QStringLiteral("CanPlay"), canPlay());
    p.insert(QStringLiteral("CanPause"), canPause());
    p.insert(QStringLiteral("CanSeek"), canSeek());
    return p;
}

void MprisService::onChanged(int mask) {
    const PlayerState now = controller_.state();
    // A stop and a start within one turn of the event loop still count as a new song.
    const bool newTrack = now.songOpen && (!last_.songOpen || now.playback != last_.playback);
    if (newTrack) lastElapsedMs_ = ownSeekMs_ = -1;
    last_ = now;

    // Only what really changed is sent; Position is read, never announced, except as Seeked.
    const QVariantMap current = playerProperties();
    QVariantMap changed;
    for (auto it = current.cbegin(); it != current.cend(); ++it) {
        const QVariant old = lastProperties_.value(it.key());
        const bool same = it.key() == QLatin1String("Metadata")
                              ? fingerprint(old.toMap()) == fingerprint(it->toMap())
                              : old == *it;
        if (!same) changed.insert(it.key(), *it);
    }
    lastProperties_ = current;
    if (!changed.isEmpty()) sendPropertiesChanged(kPlayerInterface, changed);
    if (newTrack) emit trackStarted(now);

    if ((mask & kChangePosition) && now.songOpen && now.playing && !now.paused &&
        now.elapsedMs >= 0) {
        if (ownSeekMs_ >= 0) {
            // The decoder takes a seek at its next frame: until the position gets there (or a
            // while has passed), the jump is the one already announced.
            if (std::abs(now.elapsedMs - ownSeekMs_ - ownSeek_.elapsed()) <= kSeekToleranceMs ||
                ownSeek_.elapsed() > kOwnSeekWaitMs)
                ownSeekMs_ = -1;
        } else if (lastElapsedMs_ >= 0 && sinceElapsed_.isValid()) {
            const qint64 expected = lastElapsedMs_ + sinceElapsed_.elapsed();
            if (std::abs(now.elapsedMs - expected) > kSeekToleranceMs)
                emit seeked(qint64(now.elapsedMs) * 1000);
        }
        lastElapsedMs_ = now.elapsedMs;
        sinceElapsed_.start();
    } else if (!now.playing || now.paused) {
        lastElapsedMs_ = -1;
    }
}

void MprisService::sendPropertiesChanged(const QString& interface, const QVariantMap& changed) {
    if (!registered_) return;
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    bus_.send(signal);
}

}  // namespace ombrix
