/**
 * @file mp3.h
 * @brief The MPEG audio decoder library: plays one MPEG-1/2 Layer I, II or III file at a time,
 *        or PCM from a caller's source through the same output.
 *
 * C linkage; arguments and results are 32-bit. OmbrixPlay blocks until the song has ended or
 * been stopped, so callers run it on a worker thread and control it from other threads with
 * the remaining calls, which only set requests that the playback reads once per frame.
 *
 * Expected order for every song: processor flags, then volume, buffer size and device, then
 * OmbrixPlay on a worker thread. Settings persist across songs.
 */
#ifndef OMBRIX_MP3_H
#define OMBRIX_MP3_H

#include <stdint.h>

#if defined(OMBRIX_MP3_BUILDING)
#define OMBRIX_MP3_API __attribute__((visibility("default")))
#else
#define OMBRIX_MP3_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** PCM that the caller produces (a decoded file, a synthesizer), read by OmbrixPlayPcm on its
 *  playback thread. Every callback is called on that thread only and gets `context`. */
typedef struct OmbrixPcmSource {
    void* context;
    /** Channels of the frames read: 1 or 2 are played as they are, 3 to 8 are mixed down to
     *  stereo (see OmbrixPlayPcm). */
    int32_t channels;
    /** Frames per second, 8000..192000. */
    int32_t sampleRate;
    /** Frames of the whole source; 0 or less when unknown (positions then have no fraction). */
    int64_t totalFrames;
    /** Fills `frames` with up to `count` interleaved 16-bit frames; returns how many, 0 at the
     *  end, a negative value on an error (which ends the playback like the end). */
    int32_t (*read)(void* context, int16_t* frames, int32_t count);
    /** Moves to frame `frame` (0..totalFrames); returns 0 when done, non-zero when it cannot. */
    int32_t (*seek)(void* context, int64_t frame);
} OmbrixPcmSource;

/** Plays `source` from `startMs` through the same output, effects engine and controls as an
 *  MPEG file: OmbrixPause, OmbrixSeek, OmbrixAbsoluteSeek, OmbrixWhere, OmbrixGetCurrentTime,
 *  OmbrixChangePitch and OmbrixStop act on it; a "frame" of those calls is 1152 PCM frames.
 *  Blocks like OmbrixPlay. Returns 1 when finished or stopped, 0 when the output device cannot
 *  be opened, -1 when the source is not usable (no read or seek callback, a channel count or
 *  rate out of range). Mixing down, channel 2 is the centre (both sides, -3 dB) from three
 *  channels on, channel 3 the low-frequency channel (left out) from six on, and the others go
 *  left and right in turn; each side is scaled so that it cannot clip. */
OMBRIX_MP3_API int32_t OmbrixPlayPcm(const OmbrixPcmSource* source, int32_t startMs,
                                     int32_t noOutput);
/** Plays fileName from the first frame at startOffset, then the songs queued meanwhile (see
 *  OmbrixQueueNext). Returns 1 when finished or stopped, 0 when the output device cannot be
 *  opened, -1 when there is no valid first frame. A Layer III file whose LAME tag gives the
 *  encoder delay and padding plays exactly its source's samples; positions and lengths count
 *  those samples. */
OMBRIX_MP3_API int32_t OmbrixPlay(const char* fileName, int32_t startOffset, int32_t noOutput);
/** Hands the running playback the song to play after the current one, on the same output
 *  stream: its samples follow the current song's without a break. Songs queued later replace
 *  it; it is dropped by a stop, a pause, a seek or OmbrixCancelNext, and when the playback
 *  ends before the current song does. Returns 1 when queued, 0 when no playback runs (yet),
 *  -1 when the file holds no valid first frame or its format (channels, sampling rate,
 *  samples per frame) differs from the running stream's. */
OMBRIX_MP3_API int32_t OmbrixQueueNext(const char* fileName, int32_t startOffset);
/** Drops the queued song. Returns 1 when one was waiting, 0 when none was or the playback has
 *  already begun to decode it. */
OMBRIX_MP3_API int32_t OmbrixCancelNext(void);
/** Which song of the running (or last) OmbrixPlay call is heard: 0 the file it was given, then
 *  one more each time a queued song is heard. Positions, lengths and OmbrixWhere follow the
 *  song heard. */
OMBRIX_MP3_API int32_t OmbrixSongNumber(void);
/** Requests the end of the running playback. */
OMBRIX_MP3_API void OmbrixStop(void);
/** Non-zero pauses the device, zero resumes it; only the low byte of flag counts. Returns 0 when
 *  done (also for a playback without output), 1 when no playback runs, 2 when the device is
 *  not open. */
OMBRIX_MP3_API int32_t OmbrixPause(int32_t flag);
/** Seeks deltaFrames from the last reported position (never before frame 0). Returns the target. */
OMBRIX_MP3_API int32_t OmbrixSeek(int32_t deltaFrames);
/** Seeks to a fraction 0.0..1.0 of the song. Returns the target frame. */
OMBRIX_MP3_API int32_t OmbrixAbsoluteSeek(float fraction);
/** Playback rate as 16.16 fixed point, 0x10000 = normal; held to 0x8000..0x20000 (half to
 *  double speed, the range the DJ control offers). */
OMBRIX_MP3_API void OmbrixChangePitch(uint32_t pitch);
/** Position as a fraction of the song. */
OMBRIX_MP3_API float OmbrixWhere(void);
/** Position in milliseconds. */
OMBRIX_MP3_API int32_t OmbrixGetCurrentTime(void);
/** Length of a file in milliseconds (without the encoder delay and padding a LAME tag gives);
 *  0 when it cannot be opened or holds no valid first frame. */
OMBRIX_MP3_API int32_t OmbrixGetTotalMs(const char* fileName, int32_t startOffset);
/** Receives the samples of OmbrixDecodePcm: `count` interleaved 16-bit samples (all channels
 *  together) of `channels` channels at `rate` Hz. Returns non-zero to go on, zero to stop. */
typedef int32_t (*OmbrixPcmSink)(void* context, int32_t channels, int32_t rate,
                                 const int16_t* samples, int32_t count);
/** Decodes fileName from the first frame at startOffset and hands its samples (at the nominal
 *  level, without the equaliser and the effects engine, the encoder delay and padding left out)
 *  to sink, block by block, as fast as it can. Needs no device and is independent of OmbrixPlay:
 *  any number may run at once, each on its own thread, which it blocks until the end. Returns
 *  1 at the end of the song, 0 when sink stopped it, -1 when there is no valid first frame. */
OMBRIX_MP3_API int32_t OmbrixDecodePcm(const char* fileName, int32_t startOffset,
                                       OmbrixPcmSink sink, void* context);
/** Output level; 32768 is nominal, 0 is silence. */
OMBRIX_MP3_API void OmbrixSetVolume(int32_t volume);
/** The level of the player's own stream, per channel, as 16.16 fixed point (0x10000 leaves the
 *  samples as decoded, 0 is silence; held to 0..0x10000). It is heard at once where the sound
 *  server gives the stream a volume of its own, else within the latency (the samples are scaled
 *  as they are handed over); it lasts across songs. */
OMBRIX_MP3_API void OmbrixSetOutputLevel(int32_t left, int32_t right);
/** Layer III equaliser gain (linear) of subband 0..31. A change is heard within about 150 ms
 *  on a sound server's stream (the queued audio is decoded again), else within the latency. */
OMBRIX_MP3_API void OmbrixSetEQ(int32_t band, float gain);
OMBRIX_MP3_API void OmbrixEnableEQ(int32_t flag);
/** The gain (linear, 0..4; 1 leaves the samples as decoded) a song is played at, its loudness
 *  levelling: `which` 1 sets it for the song that opens next, by OmbrixPlay or OmbrixQueueNext,
 *  from its first sample (a queued song brings its own gain exactly where it begins); 0
 *  changes it for the song playing now (heard like an equaliser change). Samples saturate. */
OMBRIX_MP3_API void OmbrixSetSongGain(int32_t which, float gain);
/** Tells the playback that the effects engine's settings changed: like an equaliser change,
 *  the audio queued beyond a short margin is processed again, so that it is heard soon. */
OMBRIX_MP3_API void OmbrixEffectsChanged(void);
/** Output device: -1 the default device, N the Nth playback device. */
OMBRIX_MP3_API void OmbrixSelectWaveOut(int32_t device);
/** The most audio a sound device may hold, in milliseconds (60..2000, default 500); applies
 *  from the next playback. Positions and levels follow what is heard whatever the value. */
OMBRIX_MP3_API void OmbrixSetLatency(int32_t ms);
/** Frames of audio per output block (at least 1); applies from the next playback. */
OMBRIX_MP3_API void OmbrixSetBufferSize(int32_t frames);
OMBRIX_MP3_API void OmbrixEnableMMX(int32_t flag);
OMBRIX_MP3_API void OmbrixEnableK63D(int32_t flag);
OMBRIX_MP3_API void OmbrixEnableSIMD(int32_t flag);

#ifdef __cplusplus
}
#endif

#endif
