#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <optional>

#include "ombrix/control/DecoderControl.h"
#include "ombrix/control/PlayerState.h"
#include "ombrix/library/PlaylistOrder.h"
#include "ombrix/library/ReplayGain.h"
#include "ombrix/library/SongTag.h"
#include "ombrix/media/HttpDownloader.h"
#include "ombrix/media/MediaControl.h"

namespace ombrix {

class AudioMixer;
struct PlayerSettings;
class Clock;
class ControllerHost;
class EntryResolver;
class ReplayGainScanner;
class DiscTitles;
class SettingsStore;
class SongPlayback;

/**
 * @brief Turns the main playlist into sound: opens one song at a time, stops, pauses, seeks,
 *        changes the volume, notices the end of a song and picks the next one, keeps the three
 *        text lines and the status text, runs the alarm and adds files.
 *
 * Windowless: the window's timers call tick500(), tick100() and tickFade(); menus, keys and the
 * panel call the operations. Time comes from the injected clock, so tests drive it tick by tick.
 * After a turn of the event loop in which anything changed, one changed() signal carries the
 * mask of what changed; readers take a state() snapshot.
 * Thread affinity: main thread (the playback thread reaches it through queued calls only).
 */
class PlaybackController : public QObject {
    Q_OBJECT
public:
    /// Largest seek step: a held seek button doubles the step every 500 ms up to this many
    /// times 8 frames (2048 frames, about 53 s of 44.1 kHz audio per tick).
    static constexpr int kMaxSeekStep = 256;
    /// How long before the end of a song the next one is queued to follow it on the same
    /// stream: more than the largest device latency (2 s) plus a tick.
    static constexpr int kQueueLeadMs = 5000;
    /// Display name shown when the playlist is empty.
    static inline const QString kDisplayName = QStringLiteral("ombrix player vela");

    /// Seek step of media-control songs, per unit of the held seek's step.
    static constexpr int kMediaSeekStepMs = 5000;

    /// @param decoder the decoder and effects engine; nullptr: the real libraries.
    /// @param media the player of the songs the decoder does not play; nullptr: the real one.
    PlaybackController(SettingsStore& store, EntryResolver& resolver, Clock& clock,
                       ControllerHost& host, QObject* parent = nullptr,
                       DecoderControl* decoder = nullptr, MediaControl* media = nullptr);
    ~PlaybackController() override;

    /// The sound mixer, or nullptr for none. Not owned.
    void setMixer(AudioMixer* mixer);
    bool mixerInUse() const;
    /// Measures the loudness of songs without loudness tags, or nullptr for none. Not owned.
    void setGainScanner(ReplayGainScanner* scanner) { gainScanner_ = scanner; }
    /// The record of the disc in the CD drive, which names CD track entries (may be null).
    void setDiscTitles(const DiscTitles* disc) { disc_ = disc; }
    /// "Repeat this song": the same entry again after each end (not stored in the settings).
    void setRepeatThisSong(bool on);
    /// "Random" (shuffle the files being added) and "Auto repeat", set from outside the menus
    /// (the desktop's media controls); both are stored in the settings.
    void setShuffle(bool on);
    void setAutoRepeat(bool on);
    /// The options of the main menu, stored in the settings: "Intro" (the first 10 seconds of
    /// each song), "Resume" (the last playlist at the next start), "Enable FX" and "Enable EQ"
    /// (heard at once).
    void setIntro(bool on);
    void setResume(bool on);
    /// The time shows what is left of the song instead of what has been heard.
    void setTimeRemaining(bool on);
    void setEffectsEnabled(bool on);
    void setEqualizerEnabled(bool on);
    /// The display shows the volume itself, so a volume change needs no status text.
    void setVolumeShownByDisplay(bool shown) noexcept { volumeShownByDisplay_ = shown; }
    /// The shuffle's random source (tests make it repeatable).
    void setRandom(PlaylistOrder::Random random) { random_ = std::move(random); }

    PlayerState state() const;
    const QStringList& playlist() const noexcept { return playlist_; }
    /// Replaces the playlist without playing (start-up, resume, the playlist window).
    void setPlaylist(const QStringList& entries);
    void clearPlaylist();
    /// The title display shows the program's name and nothing else (an emptied playlist).
    void showIdleTitle();
    void moveEntry(int from, int to);
    int currentIndex() const noexcept { return currentIndex_; }
    void setCurrentIndex(int index);

    // Operations.
    void playEntry(int index);
    void play();
    void next();
    void previous();
    void stop();
    /// Stops and shows @p text, with the name of @p entry (when given) on the second line.
    void stopWithMessage(const QString& text, const QString& entry = {});
    void pause();
    void resume();
    /// The panel's pause button: pauses while playing, resumes while paused.
    void togglePause();
    void seekForward();
    void seekBack();
    void seekReleased();
    void seekTo(double fraction);
    /// A volume key or button is held (@p up) until volumeReleased().
    void volumeHeld(bool up);
    void volumeReleased();
    void volumeStep();
    void setVolume(int volume);
    void setPan(int pan);
    void addFiles(const QStringList& list, bool playNow);
    void removeEntry(int index);
    /// Removes an entry that cannot be played and says so (entryRejected).
    void rejectEntry(int index);
    void showStatus(const QString& text, int ticks = 20);
    int elapsedMs() const;

    /// A key of the main window (Windows virtual-key code); true when it was used.
    bool keyPressed(int vk);
    void keyReleased(int vk);

    /// Arms the export of the song to @p wavPath (empty: nothing is armed).
    void armExport(const QString& wavPath);
    /// A fade-out over @p ticks fade ticks; the song then counts as finished.
    void startFadeOut(int ticks);
    /// Fade-in over @p ticks at every song start; 0 turns it off.
    void setFadeIn(int ticks);

    // Timers. The window runs each only while it is needed, so an idle player never wakes.
    void tick500();
    void tick100();
    void tickFade();
    /// tick500() has work: a song plays (time, intro, end of song) or the first tick after the
    /// window showed is due.
    bool needsSlowTicks() const noexcept;
    /// tick100() and tickFade() have work: the deferred start, a held volume key, a status
    /// text counting down, the pause between songs, a fade or the alarm.
    bool needsFastTicks() const noexcept;

    // Start-up.
    /// The window has been shown: the deferred start may run.
    void windowShown();
    void setStartPending(int files, bool editRequest);
    /// The deferred start plays @p index of the playlist as it is (resume after a bad exit).
    void setResumeIndex(int index) { resumeIndex_ = index; }
    /// Files from outside are taken now (not while a song ends or is paused).
    bool acceptsFiles() const noexcept { return acceptFiles_ && !paused_; }

    /// Marks the tag of the playing file as edited: it is written when the song closes.
    void setPendingTag(const SongTag& tag);
    /// The tag of the open song, with any edits not yet written; an empty record (found()
    /// false, no texts) while no song is open.
    const SongTag& playingTag() const noexcept { return tag_; }
    /// True while a song is open and @p file names its file (the file is then held open for
    /// playback, so its tag can only be written when the song closes).
    bool isOpenFile(const QString& file) const;
    /**
     * @brief Takes the texts of @p tag as the open song's tag: the three text lines are
     *        computed again as at the start of the song, and the tag is written into the file
     *        when the song closes. Does nothing while no song is open.
     */
    void editPlayingTag(const SongTag& tag);

    /// Formats the time text: "playing " (or "recording ") below 10 s, else "m : ss".
    /// "1:05 / 3:40" (heard / length), "-2:35 / 3:40" with @p remaining, "rec " before it while
    /// recording; the length is left out when unknown (0), the time when the position is
    /// unknown (negative: "playing").
    static QString timeText(int elapsedMs, int totalMs, bool remaining, bool recording);

signals:
    void changed(int mask);
    /// @p entry could not be played (missing, unknown or damaged) and left the playlist;
    /// copies of the playlist drop it too, so that it is not handed back.
    void entryRejected(const QString& entry);

private:
    /// Fetches the web address @p entry (at @p index) without blocking; the song starts when
    /// the copy is there. The display says "loading" meanwhile.
    void beginLoading(int index, const QString& entry);
    void loadingFinished(quint64 serial, bool ok, const QString& error);
    /// Forgets a fetch in progress (another song was asked for, or stop).
    void cancelLoading();
    bool openSong(const QString& file);
    void songStarted();
    void showTagLines();
    void showTimeText();
    void closeSong();
    void halt();
    void endOfSong();
    void finishAdvance();
    void refreshCommands();
    void storeOption(bool PlayerSettings::*option, bool on);
    void seekOnce();
    void applyOutputLevel(int volume);
    /// Brings the user's volume back after a fade lowered it.
    void restoreOutputLevel();
    /// The loudness values of the song in @p file: its tags, else what was measured (a
    /// measurement is asked for when there is none).
    ReplayGainValues songGainOf(const QString& file);
    /// The factor the decoder plays the next song it opens at: the song's loudness factor, or
    /// none for a recording, which keeps the song's own samples.
    void giveNextSongGain(double factor);
    /// The factor again after a change of the settings.
    void refreshSongGain();
    void volumeChanged();
    void decoderError(quint64 serial, int result);
    void deviceBusy();

    // Songs of the media control.
    /// Opens and starts @p file; false when no media control plays its kind.
    bool openMediaSong(const QString& file);
    /// Moves a media-control song to @p ms, unless that lies past its end.
    void seekToMs(int ms);
    /// The media control's part of the 500 ms tick: position, and the end of the song once
    /// the device has stopped.
    void checkMediaFinished();

    // With "no pause between songs", the next song is queued on the playback near the end of
    // the current one and follows it on the same stream; the controller moves to it when it is
    // heard.

    /// The entry that plays after the current song ends by itself, or -1 for none.
    int followingIndex() const;
    /// True while the next song may be queued on the running playback.
    bool mayQueueFollowingSong() const;
    /// Queues the following song once the current one is within kQueueLeadMs of its end.
    void queueFollowingSong();
    /// Drops the queued song when it is no longer the one that follows (or nothing may be
    /// queued), keeping it when it still is (its index brought up to date).
    void refreshQueuedSong();
    /// Drops the queued song unless the playback has begun it.
    void dropQueuedSong();
    /// Moves to the queued song once the playback reports it heard.
    void followQueuedSong();
    void setLine(QString& line, const QString& text);
    void markChanged(int mask);
    void emitChanged();
    QStringList expand(const QStringList& list);

    SettingsStore& store_;
    EntryResolver& resolver_;
    Clock& clock_;
    ControllerHost& host_;
    std::unique_ptr<DecoderControl> ownDecoder_;
    DecoderControl* decoder_;
    std::unique_ptr<MediaControl> ownMedia_;
    MediaControl* media_;
    int mciStart_ = 0;  // play range of a media-control song, in milliseconds
    int mciEnd_ = 0;
    bool volumeShownByDisplay_ = false;
    AudioMixer* mixer_ = nullptr;
    PlaylistOrder::Random random_;

    QStringList playlist_;
    int currentIndex_ = 0;
    int mediaKind_ = -2;
    bool songOpen_ = false;
    bool playing_ = false;
    bool paused_ = false;
    std::atomic<bool> songFinished_{false};
    bool introEnded_ = false;
    bool advancePending_ = false;
    bool sleeping_ = false;
    qint64 sleepDeadline_ = 0;
    bool skipNextSleep_ = false;
    bool recording_ = false;
    bool exportNoOutput_ = false;
    bool canPlay_ = false;
    bool canSkip_ = false;
    bool seekHeld_ = false;
    int seekStep_ = 0;
    bool volumeHeld_ = false;
    int volumeStep_ = 0;
    int volume_ = 100;
    int pan_ = 0;
    bool outputLowered_ = false;  // a fade left the output below volume_
    ReplayGainScanner* gainScanner_ = nullptr;
    const DiscTitles* disc_ = nullptr;
    ReplayGainValues songGain_;  // the loudness values of the open song
    double gainFactor_ = 1.0;    // what its samples are multiplied by, from songGain_
    bool repeatThisSong_ = false;
    QString statusText_;
    int statusTicks_ = 0;
    QString line1_, line2_, line3_;
    bool line3IsTime_ = false;
    int elapsedMs_ = -1;
    int position_ = 0;
    int positionScale_ = 1024;
    int lengthMs_ = 0;
    qint64 startTicks_ = 0;
    int startPending_ = 0;
    bool editRequest_ = false;
    int resumeIndex_ = -1;
    bool acceptFiles_ = true;
    bool alarmFired_ = false;
    bool windowShown_ = false;
    bool firstTick500Done_ = false;
    bool timer500_ = false;
    bool opening_ = false;
    bool fadeActive_ = false;
    bool fadingOut_ = false;
    int fadeCounter_ = 0;
    int fadeOutTicks_ = 0;
    int fadeInTicks_ = 0;
    QString currentFile_;
    QString currentEntry_;
    SongTag tag_;
    std::unique_ptr<SongTag> pendingTag_;
    std::unique_ptr<SongPlayback> player_;
    struct QueuedSong {
        int index = -1;
        QString entry;
        QString file;
        int lengthMs = 0;
        ReplayGainValues gain;
        double gainFactor = 1.0;
    };
    std::optional<QueuedSong> queued_;         // handed to the playback to follow the current song
    bool queueRefused_ = false;                // the following entry cannot follow on the stream
    int heardSong_ = 0;                        // the playback's number of the song being heard
    quint64 serial_ = 0;                       // the playback thread whose news is awaited
    quint64 songSerial_ = 0;                   // songs begun, opened or followed on the stream
    std::unique_ptr<HttpDownloader> loading_;  // the web address being fetched, if any
    QString loadingEntry_;
    int loadingIndex_ = -1;
    quint64 loadingSerial_ = 0;
    int pendingMask_ = 0;
};

}  // namespace ombrix
