#pragma once

#include <QString>
#include <cstdint>

namespace ombrix {

/**
 * @brief What the playback controller asks of the decoder and the effects engine while a song
 *        plays: one method a call, so that the controller's tests can stand in for both.
 *
 * The real implementation (LibraryDecoder) forwards to the process-wide exported functions of
 * libmp3 and libmixora. No method throws.
 * Thread affinity: main thread.
 */
class DecoderControl {
public:
    virtual ~DecoderControl() = default;

    /// Length in milliseconds of the MPEG stream in @p file that starts at byte @p offset.
    virtual int totalMs(const QString& file, int32_t offset) = 0;
    /// Holds (true) or continues (false) the running playback.
    virtual void pause(bool on) = 0;
    /// Moves the running playback by @p frames (negative: back).
    virtual void seekFrames(int frames) = 0;
    /// Moves the running playback to @p fraction (0..1) of the song.
    virtual void seekFraction(double fraction) = 0;
    /// Where the running playback is, 0..1.
    virtual double where() = 0;
    /// Milliseconds heard of the running song.
    virtual int currentMs() = 0;
    /// The level of the player's own stream per side, 16.16 (0x10000 = as decoded).
    virtual void setOutputLevel(int left, int right) = 0;
    /// Switches the effects engine's effects on or off.
    virtual void enableEffects(bool on) = 0;
    /// Switches the equaliser on or off: the decoder's subband one and the effects engine's
    /// octave one together (only the one chosen in the equaliser window has a curve).
    virtual void enableEqualizer(bool on) = 0;
    /// Starts recording what is heard into @p wavPath; false when the file cannot be written.
    virtual bool startRecording(const QString& wavPath) = 0;
    virtual void stopRecording() = 0;

    // Songs that follow on the same stream. A decoder without them keeps to one song a
    // playback: nothing is queued, and each song opens the device anew.

    /// Hands the running playback @p file (from byte @p offset) to play right after the
    /// current song, on the same stream: 1 queued, 0 no playback runs yet (try again later),
    /// -1 the file cannot follow this song (no valid first frame, or another format).
    virtual int queueNext(const QString& file, int32_t offset) {
        static_cast<void>(file);
        static_cast<void>(offset);
        return -1;
    }
    /// Drops the queued song; false when there was none or the playback has begun it (it is
    /// then heard after the current one).
    virtual bool cancelNext() { return false; }
    /// The linear gain a song is played at (its loudness levelling): @p current true for the
    /// song playing now, false for the song opened or queued next.
    virtual void setSongGain(bool current, double gain) {
        static_cast<void>(current);
        static_cast<void>(gain);
    }
    /// The song of the running playback that is heard: 0 the one it was started with, one more
    /// for each queued song since.
    virtual int songNumber() { return 0; }
};

/// DecoderControl over libmp3 and libmixora.
class LibraryDecoder final : public DecoderControl {
public:
    int totalMs(const QString& file, int32_t offset) override;
    void pause(bool on) override;
    void seekFrames(int frames) override;
    void seekFraction(double fraction) override;
    double where() override;
    int currentMs() override;
    void setOutputLevel(int left, int right) override;
    void enableEffects(bool on) override;
    void enableEqualizer(bool on) override;
    bool startRecording(const QString& wavPath) override;
    void stopRecording() override;
    int queueNext(const QString& file, int32_t offset) override;
    bool cancelNext() override;
    void setSongGain(bool current, double gain) override;
    int songNumber() override;
};

}  // namespace ombrix
