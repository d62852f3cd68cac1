#include "ombrix/control/PlaybackController.h"

#include <QFileInfo>
#include <QMetaObject>
#include <cmath>

#include "ombrix/control/AudioMixer.h"
#include "ombrix/control/Clock.h"
#include "ombrix/control/ControllerHost.h"
#include "ombrix/control/DecoderControl.h"
#include "ombrix/control/EntryExpander.h"
#include "ombrix/control/MixerRules.h"
#include "ombrix/control/OutputLevel.h"
#include "ombrix/control/SongPlayback.h"
#include "ombrix/library/ModernTagReader.h"
#include "ombrix/library/PlaylistEntry.h"
#include "ombrix/library/ReplayGainScanner.h"
#include "ombrix/media/EntryResolver.h"
#include "ombrix/media/FileInformation.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/media/PcmMediaControl.h"
#include "ombrix/media/PcmSource.h"
#include "ombrix/settings/PrivateFolder.h"
#include "ombrix/settings/SettingsStore.h"

namespace ombrix {
namespace {

constexpr int kIntroMs = 10000;
constexpr int kOneSecondMs = 1000;

// How a message names an entry: a file by its name, a web address whole.
QString entryName(const QString& entry) {
    if (entry.contains(QLatin1String("://"))) return entry;
    return QFileInfo(entry).fileName();
}
constexpr int kTimeTag = 8;  // idtag value that shows the elapsed time

bool isCdTrack(const QString& name) {
    return MediaIdentifier::extension(name) == QLatin1String(".cda");
}

}  // namespace

PlaybackController::PlaybackController(SettingsStore& store, EntryResolver& resolver, Clock& clock,
                                       ControllerHost& host, QObject* parent,
                                       DecoderControl* decoder, MediaControl* media)
    : QObject(parent),
      store_(store),
      resolver_(resolver),
      clock_(clock),
      host_(host),
      ownDecoder_(decoder ? nullptr : std::make_unique<LibraryDecoder>()),
      decoder_(decoder ? decoder : ownDecoder_.get()),
      ownMedia_(media ? nullptr : std::make_unique<PcmMediaControl>()),
      media_(media ? media : ownMedia_.get()),
      random_(PlaylistOrder::systemRandom()) {
    // Options changed anywhere (menus, the configuration, a remote) reach every reader.
    connect(&store_, &SettingsStore::changed, this, [this] {
        markChanged(kChangeOptions);
        refreshQueuedSong();
        refreshSongGain();
    });
    line1_ = kDisplayName;
    line3_ = QStringLiteral("ready");
}

PlaybackController::~PlaybackController() {
    // The playback threads are joined before anything they point at goes away.
    player_.reset();
    media_->close();
    // A fade cut short by the exit leaves no lowered system mixer behind.
    restoreOutputLevel();
}

void PlaybackController::setMixer(AudioMixer* mixer) {
    mixer_ = mixer;
}

bool PlaybackController::mixerInUse() const {
    return mixer_ && mixer_->isOpen() &&
           MixerRules::useMixer(store_.settings().usemixer, mixer_->deviceCount());
}

PlayerState PlaybackController::state() const {
    const PlayerSettings& s = store_.settings();
    PlayerState st;
    st.currentIndex = currentIndex_;
    st.count = static_cast<int>(playlist_.size());
    st.songOpen = songOpen_;
    st.playing = playing_;
    st.paused = paused_;
    st.sleeping = sleeping_;
    st.canPlay = canPlay_;
    st.canSkip = canSkip_;
    st.recording = recording_;
    st.line1 = line1_;
    st.line2 = line2_;
    st.line3 = line3_;
    st.statusText = statusTicks_ > 0 ? statusText_ : QString();
    st.currentFile = currentFile_;
    st.playback = songSerial_;
    if (songOpen_) {
        st.title = tag_.hasTexts() ? SongTag::rightTrim(tag_.title) : QString();
        if (st.title.isEmpty()) st.title = QFileInfo(currentFile_).completeBaseName();
        if (tag_.hasTexts()) {
            st.artist = SongTag::rightTrim(tag_.artist);
            st.album = SongTag::rightTrim(tag_.album);
        }
    }
    st.currentEntry = currentEntry_;
    st.elapsedMs = elapsedMs_;
    st.position = position_;
    st.positionScale = positionScale_;
    st.lengthMs = lengthMs_;
    st.volume = volume_;
    st.pan = pan_;
    st.random = s.random1;
    st.intro = s.intro1;
    st.autoRepeat = s.autorepeat1;
    st.repeatThisSong = repeatThisSong_;
    st.resume = s.resume1;
    st.effects = s.enablefx1;
    st.equalizer = s.enableeq1;
    return st;
}

void PlaybackController::setRepeatThisSong(bool on) {
    repeatThisSong_ = on;
    refreshQueuedSong();
    markChanged(kChangeOptions);
}

// The store's change signal marks kChangeOptions for every reader.
void PlaybackController::storeOption(bool PlayerSettings::*option, bool on) {
    store_.change([option, on](PlayerSettings& s) { s.*option = on; });
}

void PlaybackController::setShuffle(bool on) {
    storeOption(&PlayerSettings::random1, on);
}

void PlaybackController::setAutoRepeat(bool on) {
    storeOption(&PlayerSettings::autorepeat1, on);
}

void PlaybackController::setIntro(bool on) {
    storeOption(&PlayerSettings::intro1, on);
}

void PlaybackController::setResume(bool on) {
    storeOption(&PlayerSettings::resume1, on);
}

void PlaybackController::setTimeRemaining(bool on) {
    storeOption(&PlayerSettings::timeremaining, on);
    if (playing_) showTimeText();
}

void PlaybackController::setEffectsEnabled(bool on) {
    storeOption(&PlayerSettings::enablefx1, on);
    decoder_->enableEffects(on);
}

void PlaybackController::setEqualizerEnabled(bool on) {
    storeOption(&PlayerSettings::enableeq1, on);
    decoder_->enableEqualizer(on);
}

void PlaybackController::setPlaylist(const QStringList& entries) {
    playlist_ = entries;
    if (currentIndex_ >= playlist_.size()) currentIndex_ = 0;
    refreshQueuedSong();
    refreshCommands();
    markChanged(kChangePlaylist);
}

void PlaybackController::clearPlaylist() {
    playlist_.clear();
    currentIndex_ = 0;
    refreshQueuedSong();
    refreshCommands();
    markChanged(kChangePlaylist);
}

void PlaybackController::showIdleTitle() {
    setLine(line1_, kDisplayName);
    setLine(line2_, QString());
    setLine(line3_, QString());
}

void PlaybackController::moveEntry(int from, int to) {
    const int n = static_cast<int>(playlist_.size());
    if (from < 0 || from >= n || to < 0 || to >= n || from == to) return;
    playlist_.move(from, to);
    // The playing entry keeps its identity when entries move around it.
    if (currentIndex_ == from)
        currentIndex_ = to;
    else if (from < currentIndex_ && to >= currentIndex_)
        --currentIndex_;
    else if (from > currentIndex_ && to <= currentIndex_)
        ++currentIndex_;
    refreshQueuedSong();
    markChanged(kChangePlaylist);
}

void PlaybackController::setCurrentIndex(int index) {
    if (index < 0 || index >= playlist_.size()) return;
    currentIndex_ = index;
    markChanged(kChangePlaylist);
}

// ---------------------------------------------------------------------------------------------
// Playing entries

void PlaybackController::playEntry(int index) {
    // A change of song is refused during the first second of an MPEG song. The check comes
    // before the 500 ms timer is stopped, so a refused change leaves the song's clock running;
    // a song that has already ended (even one shorter than a second) never refuses.
    if (mediaKind_ == kKindMpeg && songOpen_ && playing_ && !songFinished_.load() &&
        elapsedMs() < kOneSecondMs)
        return;
    timer500_ = false;
    fadingOut_ = false;
    if (playlist_.isEmpty()) return;
    const int n = static_cast<int>(playlist_.size());
    if (index >= n) index = 0;
    if (index < 0) index = n - 1;

    const QString entry = playlist_.at(index);
    cancelLoading();
    if (resolver_.needsDownload(entry)) {
        beginLoading(index, entry);
        return;
    }
    QString file;
    try {
        file = resolver_.resolve(entry);
    } catch (const DownloadError& e) {
        // The address stays in the playlist: the network may be back next time.
        stopWithMessage(QStringLiteral("download failed"));
        showStatus(QString::fromUtf8(e.what()));
        return;
    } catch (const ExtractLimitError& e) {
        stopWithMessage(QStringLiteral("file input error"), entry);
        showStatus(QString::fromUtf8(e.what()));
        return;
    } catch (const PrivateFolderError& e) {
        // Nothing is extracted into a folder others could change; the entry stays.
        stopWithMessage(QStringLiteral("file input error"));
        showStatus(QString::fromUtf8(e.what()));
        return;
    }
    const int kind = file.isEmpty() ? int(kKindNotFound) : MediaIdentifier::mediaKind(file);
    if (kind == kKindNotFound && !isCdTrack(file)) {
        rejectEntry(index);
        stopWithMessage(QStringLiteral("file not found"), entry);
        return;
    }
    if (kind == kKindUnknown) {
        rejectEntry(index);
        stopWithMessage(QStringLiteral("unknown format"), entry);
        return;
    }
    currentEntry_ = entry;
    if (openSong(file)) {
        currentIndex_ = index;
        songStarted();
        markChanged(kChangePlaylist);
    }
}

void PlaybackController::beginLoading(int index, const QString& entry) {
    stop();
    currentIndex_ = index;
    loadingEntry_ = entry;
    loadingIndex_ = index;
    const quint64 serial = ++loadingSerial_;
    loading_ = resolver_.startDownload(entry);
    HttpDownloader* download = loading_.get();
    connect(download, &HttpDownloader::finished, this, [this, serial, download](bool ok) {
        // Queued: the downloader is still inside its own signal here.
        const QString error =
            download->lastStatus() > 0
                ? QStringLiteral("%1 %2").arg(download->lastStatus()).arg(download->lastError())
                : download->lastError();
        QMetaObject::invokeMethod(
            this, [this, serial, ok, error] { loadingFinished(serial, ok, error); },
            Qt::QueuedConnection);
    });
    // The window, telnet and D-Bus stay answered while it comes.
    setLine(line1_, entryName(entry));
    setLine(line2_, QString());
    setLine(line3_, QStringLiteral("loading"));
    markChanged(kChangePlaylist | kChangeText);
}

void PlaybackController::loadingFinished(quint64 serial, bool ok, const QString& error) {
    if (serial != loadingSerial_ || !loading_) return;  // given up meanwhile
    const QString entry = loadingEntry_;
    const int hint = loadingIndex_;
    cancelLoading();
    if (!ok) {
        // The address stays in the playlist: the network may be back next time.
        stopWithMessage(QStringLiteral("download failed"), entry);
        showStatus(entry + QStringLiteral(": ") + error);
        return;
    }
    // The playlist may have changed while the document came.
    const int index = hint >= 0 && hint < playlist_.size() && playlist_.at(hint) == entry
                          ? hint
                          : static_cast<int>(playlist_.indexOf(entry));
    if (index < 0) {
        showIdleTitle();
        markChanged(kChangeText);
        return;
    }
    playEntry(index);
}

void PlaybackController::cancelLoading() {
    if (!loading_) return;
    ++loadingSerial_;
    loading_->disconnect(this);
    loading_.reset();  // aborts the transfer; nothing half-written is kept
    loadingEntry_.clear();
    loadingIndex_ = -1;
}

void PlaybackController::play() {
    if (!playlist_.isEmpty()) playEntry(currentIndex_);
}

void PlaybackController::next() {
    playEntry(currentIndex_ + 1);
}

void PlaybackController::previous() {
    playEntry(currentIndex_ - 1);
}

void PlaybackController::stop() {
    cancelLoading();
    // A stop during the pause between songs also cancels the advance that was pending.
    sleeping_ = false;
    advancePending_ = false;
    acceptFiles_ = true;
    closeSong();
    fadeActive_ = false;
    fadingOut_ = false;
    restoreOutputLevel();
    refreshCommands();
    canPlay_ = true;
    markChanged(kChangeSong | kChangeText);
}

void PlaybackController::stopWithMessage(const QString& text, const QString& entry) {
    stop();
    setLine(line1_, text);
    // The second line names the entry the message is about.
    setLine(line2_, entry.isEmpty() ? QString() : entryName(entry));
    setLine(line3_, QStringLiteral("stopped"));
}

bool PlaybackController::openSong(const QString& file) {
    const PlayerSettings& s = store_.settings();
    advancePending_ = false;
    sleeping_ = false;
    acceptFiles_ = true;
    if (opening_) return false;
    opening_ = true;
    closeSong();
    // Cleared after the previous playback thread has been joined, so its end cannot leak
    // into this song.
    songFinished_.store(false);
    heardSong_ = 0;

    auto fail = [this] {
        opening_ = false;
        return false;
    };

    currentFile_ = file;
    const QString ext = MediaIdentifier::extension(file);
    tag_ = SongTag();
    if (!QFileInfo::exists(file) && ext != QLatin1String(".cda")) {
        showStatus(QStringLiteral("file input error"));
        return fail();
    }
    const int kind =
        MediaIdentifier::refineKind(file, MediaIdentifier::mediaKind(file), s.overridecodec);
    if (kind == kKindMpeg) {
        const qint64 offset = MediaIdentifier::startOffset(file);
        if (offset < 0) {
            // Only the damaged entry goes; the rest of the user's playlist stays.
            const int index = static_cast<int>(playlist_.indexOf(currentEntry_));
            if (index >= 0) rejectEntry(index);
            stopWithMessage(QStringLiteral("Corrupt riff mpeg audio."), currentEntry_);
            return fail();
        }
        tag_.readTexts(file, LegacyText::Choice::fromSettings(s.tagcodepage, s.language));
        player_ = std::make_unique<SongPlayback>(&songFinished_);
        const quint64 serial = ++serial_;
        ++songSerial_;
        player_->errorSink = [this, serial](int32_t result) {
            QMetaObject::invokeMethod(
                this, [this, serial, result] { decoderError(serial, result); },
                Qt::QueuedConnection);
        };
        player_->noOutput = recording_ && exportNoOutput_;
        player_->useMMX = store_.effectiveMmx();
        player_->useK63D = store_.effective3DNow();
        player_->volume = s.glbmp3volume;
        player_->startOffset = static_cast<int32_t>(std::min<qint64>(offset, INT32_MAX));
        player_->bufferFrames = s.mpegmixbuff;
        player_->waveOutId = s.waveoutid;
        player_->fileName = file;
        player_->priority = s.threadpriority;
        lengthMs_ = decoder_->totalMs(file, player_->startOffset);
        songGain_ = songGainOf(file);
        gainFactor_ = ReplayGain::factor(songGain_, s);
        giveNextSongGain(gainFactor_);
        // A fade-in starts from silence; otherwise a fade-out of the song before is undone.
        if (fadeInTicks_ > 0)
            applyOutputLevel(0);
        else
            restoreOutputLevel();
        player_->start();
    } else if (kind == kKindModule) {
        showStatus(QStringLiteral("tracker modules are not played"));
        return fail();
    } else if (!openMediaSong(file)) {
        showStatus(QStringLiteral("no player for ") + ext + QStringLiteral(" files"));
        return fail();
    }
    mediaKind_ = kind;
    songOpen_ = true;
    opening_ = false;
    return true;
}

void PlaybackController::songStarted() {
    if (!songOpen_) return;
    queueRefused_ = false;
    fadeActive_ = fadeInTicks_ > 0;
    fadingOut_ = false;
    fadeCounter_ = 0;
    playing_ = true;
    refreshCommands();

    showTagLines();
    elapsedMs_ = 0;
    showTimeText();
    if (mediaKind_ == kKindMpeg) {
        positionScale_ = 1024;
        position_ = 0;
    } else if (mediaKind_ == kKindMci) {
        positionScale_ = std::max(1, mciEnd_ - mciStart_ - 1);
        position_ = 0;
    }
    startTicks_ = clock_.ticks();
    timer500_ = true;
    markChanged(kChangeSong | kChangeText | kChangePosition);
}

void PlaybackController::showTagLines() {
    const PlayerSettings& s = store_.settings();
    const bool tagged = tag_.hasTexts();
    auto field = [&](int index) { return tagged ? tag_.displayField(index) : QString(); };
    const FileInformation info = FileInformation::build(currentFile_, mediaKind_, field(s.idtag1),
                                                        field(s.idtag2), field(s.idtag3));
    setLine(line1_, info.line1);
    setLine(line2_, info.line2);
    setLine(line3_, info.line3);
    // An empty third field shows the time for this song only; the setting stays as chosen.
    line3IsTime_ = info.line3IsTime;
}

void PlaybackController::showTimeText() {
    const PlayerSettings& s = store_.settings();
    const QString time = timeText(elapsedMs_, lengthMs_, s.timeremaining, recording_);
    if (s.idtag1 == kTimeTag) setLine(line1_, time);
    if (s.idtag2 == kTimeTag) setLine(line2_, time);
    if (s.idtag3 == kTimeTag || line3IsTime_) setLine(line3_, time);
}

void PlaybackController::closeSong() {
    canPlay_ = false;
    canSkip_ = false;
    if (!songOpen_) return;
    halt();  // the stop also drops a song queued to follow
    queued_.reset();
    queueRefused_ = false;
    if (recording_) {
        decoder_->stopRecording();
        recording_ = false;
        exportNoOutput_ = false;
    }
    if (mediaKind_ == kKindMci) media_->close();
    songOpen_ = false;
    mediaKind_ = kKindUnknown;
    if (pendingTag_) {
        if (!pendingTag_->write(currentFile_))
            showStatus(QStringLiteral("the tag could not be written"));
        pendingTag_.reset();
    }
    tag_ = SongTag();
    markChanged(kChangeSong);
}

void PlaybackController::halt() {
    if (paused_) resume();
    player_.reset();  // stops and joins the playback thread
    if (mediaKind_ == kKindMci) media_->stop();
    playing_ = false;
    timer500_ = false;
    refreshCommands();
    markChanged(kChangeSong);
}

void PlaybackController::refreshCommands() {
    if (playing_) {
        acceptFiles_ = true;
        canPlay_ = false;
    } else {
        canPlay_ = !playlist_.isEmpty();
        if (!sleeping_) setLine(line3_, QString());
    }
    canSkip_ = playlist_.size() >= 2;
    if (playlist_.isEmpty()) {
        setLine(line1_, QString());
        setLine(line3_, QStringLiteral("not loaded  "));
    }
}

void PlaybackController::rejectEntry(int index) {
    if (index < 0 || index >= playlist_.size()) return;
    const QString entry = playlist_.at(index);
    removeEntry(index);
    emit entryRejected(entry);
}

void PlaybackController::removeEntry(int index) {
    if (index < 0 || index >= playlist_.size()) return;
    if (index == currentIndex_) {
        closeSong();
        setLine(line1_, QString());
        setLine(line2_, QString());
    } else if (index < currentIndex_) {
        --currentIndex_;
    }
    playlist_.removeAt(index);
    refreshQueuedSong();
    if (playlist_.isEmpty()) {
        currentIndex_ = 0;
        canPlay_ = false;
        setLine(line1_, kDisplayName);
        setLine(line3_, QStringLiteral("ready"));
    } else {
        canPlay_ = true;
    }
    markChanged(kChangePlaylist);
}

// ---------------------------------------------------------------------------------------------
// Pause, seek, volume

void PlaybackController::pause() {
    if (!playing_) return;
    if (!songOpen_) host_.showMessage(QStringLiteral("assert failed @ pauseit"));
    timer500_ = false;
    dropQueuedSong();
    if (mediaKind_ == kKindMpeg) decoder_->pause(true);
    if (mediaKind_ == kKindMci) media_->pause();
    paused_ = true;
    markChanged(kChangeSong);
}

void PlaybackController::resume() {
    if (!paused_) {
        host_.showMessage(QStringLiteral("assert failed @ resumeit"));
        return;
    }
    if (mediaKind_ == kKindMpeg) decoder_->pause(false);
    if (mediaKind_ == kKindMci) media_->resume();
    paused_ = false;
    if (playing_) timer500_ = true;
    markChanged(kChangeSong);
}

void PlaybackController::togglePause() {
    if (paused_)
        resume();
    else
        pause();
}

void PlaybackController::seekForward() {
    if (seekHeld_ || !playing_) return;
    seekHeld_ = true;
    seekStep_ = 1;
    seekOnce();
}

void PlaybackController::seekBack() {
    if (seekHeld_ || !playing_) return;
    seekHeld_ = true;
    seekStep_ = -2;
    seekOnce();
}

void PlaybackController::seekReleased() {
    seekHeld_ = false;
}

void PlaybackController::seekOnce() {
    seekStep_ = std::clamp(seekStep_ * 2, -kMaxSeekStep, kMaxSeekStep);
    if (songOpen_ && playing_ && mediaKind_ == kKindMpeg) {
        dropQueuedSong();
        decoder_->seekFrames(8 * seekStep_);
    } else if (songOpen_ && playing_ && mediaKind_ == kKindMci) {
        seekToMs(media_->positionMs() + kMediaSeekStepMs * seekStep_);
    }
}

void PlaybackController::seekTo(double fraction) {
    if (!songOpen_ || !playing_) return;
    if (!std::isfinite(fraction)) return;
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (mediaKind_ == kKindMci) {
        seekToMs(mciStart_ + static_cast<int>(std::lround((mciEnd_ - mciStart_) * fraction)));
        return;
    }
    if (mediaKind_ != kKindMpeg) return;
    dropQueuedSong();
    decoder_->seekFraction(fraction);
}

void PlaybackController::seekToMs(int ms) {
    if (mediaKind_ != kKindMci || ms > mciEnd_) return;
    // A step back past the start lands on the start.
    media_->seek(std::max(ms, mciStart_));
}

void PlaybackController::volumeHeld(bool up) {
    if (volumeHeld_) return;
    volumeHeld_ = true;
    volumeStep_ = up ? 1 : -1;
    markChanged(kChangeTicks);
}

void PlaybackController::volumeReleased() {
    volumeHeld_ = false;
}

void PlaybackController::volumeStep() {
    volume_ += volumeStep_;
    volumeStep_ = volumeStep_ > 0 ? volumeStep_ + 1 : volumeStep_ - 1;
    volumeStep_ = std::clamp(volumeStep_, -8, 8);
    volume_ = std::clamp(volume_, 0, 127);
    if (!volumeShownByDisplay_)
        showStatus(QStringLiteral("volume: ") + QString::number(volume_), 10);
    volumeChanged();
}

void PlaybackController::setVolume(int volume) {
    volume_ = std::clamp(volume, 0, 127);
    volumeChanged();
}

void PlaybackController::setPan(int pan) {
    pan_ = std::clamp(pan, OutputLevel::kFullLeft, OutputLevel::kFullRight);
    volumeChanged();
}

void PlaybackController::volumeChanged() {
    // A fade in progress goes on from the new volume; otherwise it is heard at once.
    if (!fadeActive_) applyOutputLevel(volume_);
    if (!mixerInUse()) {
        // Without the system mixer the level is the player's own: it is kept for the next start.
        const int volume = volume_;
        const int pan = pan_;
        if (store_.settings().playervolume != volume || store_.settings().playerpan != pan)
            store_.change([&](PlayerSettings& s) {
                s.playervolume = volume;
                s.playerpan = pan;
            });
    }
    markChanged(kChangeVolume);
}

void PlaybackController::applyOutputLevel(int volume) {
    outputLowered_ = volume < volume_;
    if (mixerInUse()) {
        OutputLevel::apply(*mixer_, volume, pan_);
        return;
    }
    const auto [left, right] = OutputLevel::channels(volume, OutputLevel::roundedPan(pan_));
    decoder_->setOutputLevel(OutputLevel::streamLevel(left), OutputLevel::streamLevel(right));
}

ReplayGainValues PlaybackController::songGainOf(const QString& file) {
    ReplayGainValues values = ModernTagReader::readReplayGain(file);
    if (!values.hasGain() && gainScanner_) {
        if (const auto measured = gainScanner_->known(file))
            values = *measured;
        else if (ReplayGain::mode(store_.settings().replaygain) != ReplayGain::Mode::Off)
            gainScanner_->request(file);
    }
    return values;
}

void PlaybackController::giveNextSongGain(double factor) {
    decoder_->setSongGain(false, recording_ ? 1.0 : factor);
}

void PlaybackController::refreshSongGain() {
    const double factor = ReplayGain::factor(songGain_, store_.settings());
    if (factor == gainFactor_) return;
    gainFactor_ = factor;
    if (songOpen_ && !recording_) decoder_->setSongGain(true, factor);
    // A song queued to follow keeps the factor it was given: it is queued again with the new one.
    dropQueuedSong();
}

void PlaybackController::restoreOutputLevel() {
    if (outputLowered_) applyOutputLevel(volume_);
}

// ---------------------------------------------------------------------------------------------
// Timers

QString PlaybackController::timeText(int elapsedMs, int totalMs, bool remaining, bool recording) {
    if (elapsedMs < 0) return recording ? QStringLiteral("recording") : QStringLiteral("playing");
    const auto clock = [](int ms) {
        const int seconds = std::max(0, ms) / 1000;
        return QString::asprintf("%d:%02d", seconds / 60, seconds % 60);
    };
    QString text = remaining && totalMs > 0
                       ? QStringLiteral("-") + clock(std::max(0, totalMs - elapsedMs))
                       : clock(elapsedMs);
    if (totalMs > 0) text += QStringLiteral(" / ") + clock(totalMs);
    return recording ? QStringLiteral("rec ") + text : text;
}

void PlaybackController::tick500() {
    const PlayerSettings& s = store_.settings();
    if (windowShown_ && !firstTick500Done_) {
        firstTick500Done_ = true;
        // The stored effect settings were applied at start; they are heard from now on.
        if (s.enablefx1) decoder_->enableEffects(true);
    }
    if (!timer500_ || !playing_) return;
    if (seekHeld_) seekOnce();
    elapsedMs_ = elapsedMs();
    if (s.intro1 && elapsedMs_ > kIntroMs) {
        songFinished_.store(true);
        introEnded_ = true;
    }
    showTimeText();
    if (!songFinished_.load() && mediaKind_ == kKindMpeg)
        position_ = static_cast<int>(std::lround(decoder_->where() * 1024.0));
    if (!songFinished_.load() && mediaKind_ == kKindMci) {
        checkMediaFinished();
        if (!songOpen_) return;  // stopped: the device failed
    }
    markChanged(kChangePosition);
    // A song that followed on the stream is taken up first: when the playback has ended too,
    // the end belongs to that song.
    followQueuedSong();
    if (songFinished_.load()) {
        // A device that could not be opened ends the playback at once; its report may still be
        // on its way, and the end of the song must not send the player on to the next entry first.
        if (player_ && player_->result() == 0) {
            deviceBusy();
            return;
        }
        endOfSong();
        return;
    }
    refreshQueuedSong();
    queueFollowingSong();
}

void PlaybackController::endOfSong() {
    const PlayerSettings& s = store_.settings();
    timer500_ = false;
    acceptFiles_ = false;
    // "Repeat this song" replays the last entry too, whatever Auto Repeat says.
    if (currentIndex_ >= playlist_.size() - 1 && !repeatThisSong_) {
        if (s.glbautoexit) {
            acceptFiles_ = true;
            host_.closeProgram();
            return;
        }
        if (!s.autorepeat1) {
            stop();
            acceptFiles_ = true;
            return;
        }
    }
    if (skipNextSleep_) {
        introEnded_ = true;
        skipNextSleep_ = false;
    }
    if (!introEnded_ && !s.dontsleep) {
        // The pause between songs runs on the 100 ms tick: the window stays responsive and no
        // second event loop is needed.
        advancePending_ = true;
        sleeping_ = true;
        sleepDeadline_ = clock_.ticks() + qint64(10 * std::max(0, s.glbsleep) + 1) * 100;
        setLine(line3_, QStringLiteral("sleeping"));
        return;
    }
    advancePending_ = true;
    finishAdvance();
}

void PlaybackController::finishAdvance() {
    sleeping_ = false;
    introEnded_ = false;
    if (advancePending_) {
        if (repeatThisSong_)
            playEntry(currentIndex_);
        else
            next();
    }
    acceptFiles_ = true;
}

bool PlaybackController::needsSlowTicks() const noexcept {
    return playing_ || (windowShown_ && !firstTick500Done_);
}

bool PlaybackController::needsFastTicks() const noexcept {
    return startPending_ > 0 || volumeHeld_ || statusTicks_ > 0 || sleeping_ || fadeActive_ ||
           store_.settings().enablealarm;
}

void PlaybackController::tick100() {
    const PlayerSettings& s = store_.settings();
    if (windowShown_ && startPending_ > 0) {
        startPending_ = 0;
        if (editRequest_) {
            if (!playlist_.isEmpty()) host_.openTagEditor(playlist_.first());
        } else if (resumeIndex_ >= 0) {
            const int index = resumeIndex_;
            resumeIndex_ = -1;
            playEntry(index);
        } else {
            const QStringList copy = playlist_;
            playlist_.clear();
            addFiles(copy, true);
        }
    }
    const QDateTime now = clock_.now();
    const int hour = now.time().hour();
    const int minute = now.time().minute();
    if (hour == s.alarmhour && minute == s.alarmmin) {
        if (s.enablealarm && !alarmFired_) {
            alarmFired_ = true;
            addFiles({s.alarmsong}, true);
        }
    } else {
        alarmFired_ = false;
    }
    if (volumeHeld_) volumeStep();
    if (statusTicks_ > 0 && --statusTicks_ == 0) markChanged(kChangeText);
    if (sleeping_ && clock_.ticks() >= sleepDeadline_) finishAdvance();
    // The titles change within a tenth of a second of the next song being heard.
    if (playing_ && !paused_) followQueuedSong();
}

void PlaybackController::tickFade() {
    if (!fadeActive_) return;
    if (fadingOut_) {
        const int level = fadeOutTicks_ > 0 ? volume_ - volume_ * fadeCounter_ / fadeOutTicks_ : 0;
        applyOutputLevel(level);
        if (++fadeCounter_ >= fadeOutTicks_) {
            // The lowered level stays until this song has stopped; the next one starts at the
            // user's volume.
            fadeActive_ = false;
            fadingOut_ = false;
            skipNextSleep_ = true;
            songFinished_.store(true);
        }
    } else if (fadeInTicks_ > 0) {
        applyOutputLevel(volume_ * fadeCounter_ / fadeInTicks_);
        if (++fadeCounter_ >= fadeInTicks_) {
            fadeCounter_ = 0;
            fadeActive_ = false;
            applyOutputLevel(volume_);
        }
    } else {
        fadeActive_ = false;
    }
}

void PlaybackController::startFadeOut(int ticks) {
    if (!playing_) return;
    fadingOut_ = true;
    fadeCounter_ = 0;
    fadeOutTicks_ = std::max(1, ticks);
    fadeActive_ = true;
    markChanged(kChangeTicks);
}

void PlaybackController::setFadeIn(int ticks) {
    fadeInTicks_ = std::max(0, ticks);
}

int PlaybackController::elapsedMs() const {
    if (songOpen_ && mediaKind_ == kKindMpeg) return decoder_->currentMs();
    if (songOpen_ && mediaKind_ == kKindMci) return media_->positionMs() - mciStart_;
    return -1;
}

// ---------------------------------------------------------------------------------------------
// Files

QStringList PlaybackController::expand(const QStringList& list) {
    const MediaIdentifier media(store_.mediaTypes().flat);
    QStringList out;
    // Every line of a playlist is an entry here; files, folders' songs and web addresses are
    // taken as they are.
    const ExpansionRules rules;
    for (const QString& item : list) {
        const QString ext = MediaIdentifier::extension(item);
        const Expansion e = EntryExpander::expand(item, media, rules);
        out += e.entries;
        for (const QString& problem : e.problems) showStatus(problem);
        if (ext != QLatin1String(".cda") && !item.startsWith(QLatin1String("http"))) {
            store_.addRecentFile(item);
            store_.addRecentFolder(QFileInfo(item).absolutePath());
        }
    }
    if (store_.settings().dontcheckplaylist) {
        QStringList kept;
        kept.reserve(out.size());
        for (const QString& e : out) {
            const auto kind = PlaylistEntry::kindOf(e);
            if (kind != PlaylistEntry::Kind::LocalFile || QFileInfo::exists(e)) kept.append(e);
        }
        out = kept;
    }
    return out;
}

void PlaybackController::addFiles(const QStringList& list, bool playNow) {
    const int before = static_cast<int>(playlist_.size());
    if (playNow) {
        closeSong();
        currentIndex_ = 0;
    } else if (!playing_) {
        currentIndex_ = 0;
    }
    playlist_ += expand(list);
    bool shuffled = false;
    if (store_.settings().random1) {
        PlaylistOrder::shuffle(playlist_, random_);
        shuffled = true;
        currentIndex_ = 0;
    }
    refreshQueuedSong();
    markChanged(kChangeEntriesAdded);
    refreshCommands();
    markChanged(kChangePlaylist);
    if (playNow && before > 0 && playlist_.size() > before) {
        playEntry(shuffled ? 0 : before);
    } else if (!playing_ && !playlist_.isEmpty()) {
        play();
    }
}

void PlaybackController::showStatus(const QString& text, int ticks) {
    statusText_ = text;
    statusTicks_ = ticks;
    markChanged(kChangeText);
}

// ---------------------------------------------------------------------------------------------
// Keys, export, start-up

bool PlaybackController::keyPressed(int vk) {
    const PlayerSettings& s = store_.settings();
    if (paused_) resume();
    if (vk == s.wkeynext) {
        if (canSkip_) next();
    } else if (vk == s.wkeyprev) {
        previous();
    } else if (vk == s.wkeyterminate) {
        host_.closeProgram();
    } else if (vk == s.wkeystop) {
        if (playing_) stop();
    } else if (vk == s.wkeyvolumeup) {
        volumeHeld(true);
    } else if (vk == s.wkeyvolumedown) {
        volumeHeld(false);
    } else if (vk >= 97 && vk <= 105) {
        if (vk - 97 < playlist_.size()) playEntry(vk - 97);
    } else if (vk == 96) {
        if (playlist_.size() > 9) playEntry(9);
    } else {
        return false;
    }
    return true;
}

void PlaybackController::keyReleased(int vk) {
    const PlayerSettings& s = store_.settings();
    if (vk == s.wkeyvolumeup || vk == s.wkeyvolumedown) volumeReleased();
}

void PlaybackController::armExport(const QString& wavPath) {
    if (wavPath.isEmpty()) return;
    if (!decoder_->startRecording(wavPath)) {
        showStatus(QStringLiteral("cannot write ") + QFileInfo(wavPath).fileName());
        return;
    }
    recording_ = true;
    exportNoOutput_ = !songOpen_;
    // The image holds the song's own samples, not its loudness levelling.
    if (songOpen_ && gainFactor_ != 1.0) decoder_->setSongGain(true, 1.0);
    refreshQueuedSong();  // the recording ends with this song
    // The recording starts where the song is now, or with the next song; the third line
    // counts what has been recorded.
    showStatus(songOpen_ ? QStringLiteral("recording from here to the end of the song")
                         : QStringLiteral("the next song is recorded"));
    if (playing_) showTimeText();
    markChanged(kChangeSong);
}

void PlaybackController::windowShown() {
    windowShown_ = true;
    markChanged(kChangeTicks);
}

void PlaybackController::setStartPending(int files, bool editRequest) {
    startPending_ = files;
    editRequest_ = editRequest;
    markChanged(kChangeTicks);
}

void PlaybackController::setPendingTag(const SongTag& tag) {
    pendingTag_ = std::make_unique<SongTag>(tag);
}

bool PlaybackController::isOpenFile(const QString& file) const {
    if (!songOpen_ || file.isEmpty()) return false;
    const QFileInfo a(file), b(currentFile_);
    if (a.absoluteFilePath() == b.absoluteFilePath()) return true;
    // Links and relative names still name the same file.
    const QString ca = a.canonicalFilePath();
    return !ca.isEmpty() && ca == b.canonicalFilePath();
}

void PlaybackController::editPlayingTag(const SongTag& tag) {
    if (!songOpen_) return;
    tag_.assign(tag);
    // The record now holds texts for the file even when it had no tag before.
    tag_.tagId = QByteArrayLiteral("TAG");
    setPendingTag(tag_);
    showTagLines();
    // The lines that show the time keep it instead of waiting for the next tick.
    if (playing_) showTimeText();
    markChanged(kChangeSong | kChangeText);
}

// ---------------------------------------------------------------------------------------------
// Songs that follow on the same stream

int PlaybackController::followingIndex() const {
    const int n = static_cast<int>(playlist_.size());
    if (n == 0 || currentIndex_ < 0 || currentIndex_ >= n) return -1;
    // As endOfSong() and next() choose.
    if (repeatThisSong_) return currentIndex_;
    if (currentIndex_ < n - 1) return currentIndex_ + 1;
    const PlayerSettings& s = store_.settings();
    return s.glbautoexit || !s.autorepeat1 ? -1 : 0;
}

bool PlaybackController::mayQueueFollowingSong() const {
    const PlayerSettings& s = store_.settings();
    // A pause between songs, the intro's cut, a recording of one song and a fade-in at each
    // start all want the songs apart.
    return s.dontsleep && !s.intro1 && songOpen_ && playing_ && !paused_ &&
           mediaKind_ == kKindMpeg && !songFinished_.load() && !recording_ && !fadeActive_ &&
           fadeInTicks_ == 0;
}

void PlaybackController::queueFollowingSong() {
    if (queued_ || queueRefused_ || !mayQueueFollowingSong()) return;
    if (lengthMs_ > 0 && lengthMs_ - elapsedMs_ > kQueueLeadMs) return;
    const int index = followingIndex();
    if (index < 0) return;
    const QString entry = playlist_.at(index);
    // Anything that is not a local MPEG file starts the usual way when its turn comes, with
    // its messages.
    auto refuse = [this] { queueRefused_ = true; };
    if (resolver_.needsDownload(entry)) return refuse();
    QString file;
    try {
        file = resolver_.resolve(entry);
    } catch (const std::exception&) {
        return refuse();
    }
    if (file.isEmpty() || !QFileInfo::exists(file)) return refuse();
    const PlayerSettings& s = store_.settings();
    if (MediaIdentifier::refineKind(file, MediaIdentifier::mediaKind(file), s.overridecodec) !=
        kKindMpeg)
        return refuse();
    const qint64 offset = MediaIdentifier::startOffset(file);
    if (offset < 0) return refuse();
    const int32_t start = static_cast<int32_t>(std::min<qint64>(offset, INT32_MAX));
    // The song brings its own loudness factor, which the decoder applies from its first sample.
    const ReplayGainValues gain = songGainOf(file);
    const double factor = ReplayGain::factor(gain, s);
    giveNextSongGain(factor);
    const int result = decoder_->queueNext(file, start);
    if (result < 0) return refuse();  // another format: the device opens anew for it
    if (result == 0) return;          // the playback has not begun yet
    queued_ = QueuedSong{index, entry, file, decoder_->totalMs(file, start), gain, factor};
}

void PlaybackController::refreshQueuedSong() {
    if (!queued_) return;
    const int index = mayQueueFollowingSong() ? followingIndex() : -1;
    if (index >= 0 && playlist_.at(index) == queued_->entry) {
        queued_->index = index;
        return;
    }
    dropQueuedSong();
}

void PlaybackController::dropQueuedSong() {
    // A song the playback has begun stays: it is heard right after the current one.
    if (queued_ && decoder_->cancelNext()) queued_.reset();
}

void PlaybackController::followQueuedSong() {
    if (!queued_ || !songOpen_) return;
    const int heard = decoder_->songNumber();
    if (heard <= heardSong_) return;
    heardSong_ = heard;
    const QueuedSong next = *queued_;
    queued_.reset();
    // A recording runs to the end of its song; one armed when the next song was already on its
    // way ends here.
    if (recording_) {
        decoder_->stopRecording();
        recording_ = false;
        exportNoOutput_ = false;
    }
    // The song before is over and its file let go: an edited tag can be written now.
    if (pendingTag_) {
        if (!pendingTag_->write(currentFile_))
            showStatus(QStringLiteral("the tag could not be written"));
        pendingTag_.reset();
    }
    const PlayerSettings& s = store_.settings();
    const bool inPlace =
        next.index >= 0 && next.index < playlist_.size() && playlist_.at(next.index) == next.entry;
    const int index = inPlace ? next.index : static_cast<int>(playlist_.indexOf(next.entry));
    if (index >= 0) currentIndex_ = index;
    currentEntry_ = next.entry;
    currentFile_ = next.file;
    lengthMs_ = next.lengthMs;
    tag_ = SongTag();
    tag_.readTexts(next.file, LegacyText::Choice::fromSettings(s.tagcodepage, s.language));
    songGain_ = next.gain;
    gainFactor_ = next.gainFactor;
    ++songSerial_;  // a new song for every reader, though the playback thread goes on
    songStarted();
    markChanged(kChangePlaylist);
}

void PlaybackController::decoderError(quint64 serial, int result) {
    if (serial != serial_) return;  // news from a song that was already replaced
    if (result == 0) {
        deviceBusy();
        return;
    }
    showStatus(QStringLiteral("file is not accesible or corrupt"));
}

bool PlaybackController::openMediaSong(const QString& file) {
    if (!media_->canPlay(file)) return false;
    const PlayerSettings& s = store_.settings();
    if (isCdTrack(file)) {
        // A CD track is named by the disc's record, not by a file.
        tag_ = SongTag();
        if (disc_) tag_.readCdTrack(file, *disc_);
    } else {
        tag_.readTexts(file, LegacyText::Choice::fromSettings(s.tagcodepage, s.language));
    }
    ++serial_;
    ++songSerial_;
    MediaControl::Options options;
    options.device = s.waveoutid;
    options.bufferFrames = s.mpegmixbuff;
    options.nice = SongPlayback::niceFor(s.threadpriority);
    options.soundFont = findSoundFont(s.soundfont);
    // An export armed while nothing played renders the song into the recording only, as for
    // MPEG songs.
    options.noOutput = recording_ && exportNoOutput_;
    mciStart_ = 0;
    mciEnd_ = 0;
    lengthMs_ = 0;
    try {
        media_->open(file, options);
        mciEnd_ = media_->lengthMs();
        lengthMs_ = mciEnd_;
    } catch (const CdTrackMissing&) {
        // A track the disc does not have: its entry goes and the player stops, once this open
        // has run its course.
        const QString entry = currentEntry_;
        QMetaObject::invokeMethod(
            this,
            [this, entry] {
                if (currentEntry_ != entry) return;
                const int index = currentIndex_;
                stop();
                removeEntry(index);
            },
            Qt::QueuedConnection);
        return true;
    } catch (const MediaError& e) {
        // The song ends at the next tick, as a damaged MPEG file does, so a playlist moves on.
        showStatus(QString::fromUtf8(e.what()));
        return true;
    }
    if (fadeInTicks_ > 0)
        applyOutputLevel(0);
    else
        restoreOutputLevel();
    media_->play();
    return true;
}

void PlaybackController::checkMediaFinished() {
    position_ = std::clamp(elapsedMs_, 0, positionScale_);
    const MediaControl::Mode mode = media_->mode();
    if (mode == MediaControl::Mode::Playing || mode == MediaControl::Mode::Paused) return;
    if (media_->deviceFailed()) {
        deviceBusy();
        return;
    }
    const QString failure = media_->failure();
    if (!failure.isEmpty()) showStatus(failure);
    songFinished_.store(true);
}

void PlaybackController::deviceBusy() {
    // No song can be heard until the device is free: stop rather than run through the
    // playlist, and keep the message up.
    const QString text = QStringLiteral("sound device is busy");
    stopWithMessage(text, currentEntry_);
    showStatus(text);
}

// ---------------------------------------------------------------------------------------------
// Change notification

void PlaybackController::setLine(QString& line, const QString& text) {
    if (line == text) return;
    line = text;
    markChanged(kChangeText);
}

void PlaybackController::markChanged(int mask) {
    const bool scheduled = pendingMask_ != 0;
    pendingMask_ |= mask;
    if (!scheduled)
        QMetaObject::invokeMethod(this, &PlaybackController::emitChanged, Qt::QueuedConnection);
}

void PlaybackController::emitChanged() {
    const int mask = pendingMask_;
    pendingMask_ = 0;
    if (mask) emit changed(mask);
}

}  // namespace ombrix
