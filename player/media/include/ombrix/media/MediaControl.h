#pragma once

#include <QString>
#include <stdexcept>

namespace ombrix {

/// Why a file cannot be played by a media control; what() is the status text for the user.
class MediaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A CD track entry names a track the disc in its drive does not have: the entry goes.
class CdTrackMissing : public MediaError {
public:
    using MediaError::MediaError;
};

/**
 * @brief The player of songs that the MPEG decoder does not play: one device that opens a
 *        file, plays, pauses, stops and seeks it in milliseconds and says where it is.
 *
 * The playback controller drives every backend through this interface only, so it cannot tell
 * one from another, and its tests stand in a fake. Positions are milliseconds from the start of
 * the song.
 * Thread affinity: main thread. No method but open() throws.
 */
class MediaControl {
public:
    enum class Mode { NotReady, Stopped, Playing, Paused };

    /// How songs are played: the output as for MPEG songs, and the MIDI synthesizer's font.
    struct Options {
        int device = -1;        ///< -1 the default device, N the Nth playback device
        int bufferFrames = 8;   ///< output block size, in frames of 1152 samples
        int nice = 0;           ///< scheduling niceness of the playback thread
        bool noOutput = false;  ///< render without a device (recording only)
        QString soundFont;      ///< the sound font for MIDI files; empty: none (see findSoundFont)
    };

    MediaControl() = default;
    virtual ~MediaControl() = default;
    MediaControl(const MediaControl&) = delete;
    MediaControl& operator=(const MediaControl&) = delete;

    /// Whether @p file is of a type this control plays (open() may still find it unplayable).
    virtual bool canPlay(const QString& file) const = 0;
    /// Opens @p file (closing what was open) at position 0, stopped. Throws MediaError when
    /// the file cannot be played; nothing is open then.
    virtual void open(const QString& file, const Options& options) = 0;
    /// Plays from the current position (a paused song goes on).
    virtual void play() = 0;
    virtual void pause() = 0;
    /// Goes on from where the song was paused.
    virtual void resume() = 0;
    /// Stops the device; the position stays where it was.
    virtual void stop() = 0;
    virtual void close() = 0;
    /// Moves to @p ms (held to the song): a playing song plays on from there, a paused one
    /// stays paused, a stopped one starts playing there.
    virtual void seek(int ms) = 0;
    /// Where the song is as heard, in milliseconds.
    virtual int positionMs() = 0;
    /// The song's length in milliseconds (0 when nothing is open).
    virtual int lengthMs() const = 0;
    /// Stopped also once the song has played to its end.
    virtual Mode mode() = 0;
    /// The song stopped by itself because the sound device could not be opened.
    virtual bool deviceFailed() const { return false; }
    /// Why the song stopped by itself when that was another failure, as a status text; empty
    /// otherwise.
    virtual QString failure() const { return {}; }
};

}  // namespace ombrix
