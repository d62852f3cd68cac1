#include "MprisPlayer.h"

#include "ombrix/desktop/MprisService.h"

namespace ombrix {

MprisPlayer::MprisPlayer(MprisService& service)
    : QDBusAbstractAdaptor(&service), service_(service) {
    connect(&service, &MprisService::seeked, this, &MprisPlayer::Seeked);
}

QString MprisPlayer::playbackStatus() const {
    return service_.playbackStatus();
}
QString MprisPlayer::loopStatus() const {
    return service_.loopStatus();
}
void MprisPlayer::setLoopStatus(const QString& status) {
    service_.setLoopStatus(status);
}
bool MprisPlayer::shuffle() const {
    return service_.shuffle();
}
void MprisPlayer::setShuffle(bool on) {
    service_.setShuffle(on);
}
QVariantMap MprisPlayer::metadata() const {
    return service_.metadata();
}
double MprisPlayer::volume() const {
    return service_.volume();
}
void MprisPlayer::setVolume(double volume) {
    service_.setVolume(volume);
}
qlonglong MprisPlayer::position() const {
    return service_.position();
}
bool MprisPlayer::canGoNext() const {
    return service_.canGoNext();
}
bool MprisPlayer::canGoPrevious() const {
    return service_.canGoPrevious();
}
bool MprisPlayer::canPlay() const {
    return service_.canPlay();
}
bool MprisPlayer::canPause() const {
    return service_.canPause();
}
bool MprisPlayer::canSeek() const {
    return service_.canSeek();
}

void MprisPlayer::Next() {
    service_.next();
}
void MprisPlayer::Previous() {
    service_.previous();
}
void MprisPlayer::Pause() {
    service_.pause();
}
void MprisPlayer::PlayPause() {
    service_.playPause();
}
void MprisPlayer::Stop() {
    service_.stop();
}
void MprisPlayer::Play() {
    service_.play();
}
void MprisPlayer::Seek(qlonglong Offset) {
    service_.seek(Offset);
}
void MprisPlayer::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
    service_.setPosition(TrackId, Position);
}
void MprisPlayer::OpenUri(const QString& Uri) {
    service_.openUri(Uri);
}

}  // namespace ombrix
