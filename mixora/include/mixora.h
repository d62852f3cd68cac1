/**
 * @file mixora.h
 * @brief The effects engine: every decoded block passes through it before the sound device.
 *
 * C linkage; outside programs load the library by these names. Integers are 32-bit signed.
 * The block calls (shortStereo, shortMono) run on the playback thread; every other call may be
 * made from any thread at any time. Setters never make the playback thread wait: it picks the
 * new values up at its next block and ramps gains over 5 ms, so changes do not click.
 *
 * Lifetime: the engine is process-wide. XMInit may be called at the start of every song; it
 * keeps every effect setting, loaded pad and running recording (the first call only creates the
 * engine, which also happens on any other first call). XMDestroy, at program end, finishes the
 * recording, empties the pads and restores the default settings; the engine stays usable.
 *
 * Effects start switched off, with Enable FX off: blocks pass through unchanged until the
 * caller turns them on.
 */
#ifndef MIXORA_H
#define MIXORA_H

#include <stdint.h>

#if defined(MIXORA_BUILDING)
#define MIXORA_API __attribute__((visibility("default")))
#else
#define MIXORA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

MIXORA_API void XMInit(void);
MIXORA_API void XMDestroy(void);
MIXORA_API void XMEnableMMX(int32_t flag);
MIXORA_API void XMSetSampleRate(int32_t hz);

/** Processes a block of interleaved 16-bit stereo samples in place; count counts both channels. */
MIXORA_API int32_t shortStereo(int16_t* samples, int32_t count, int32_t zero);
/** Processes a block of 16-bit mono samples in place. */
MIXORA_API int32_t shortMono(int16_t* samples, int32_t count, int32_t zero);

/** 0 bypasses effects and sample pads exactly (blocks stay bit-identical, after a 5 ms fade);
 *  levels, spectrum and recording still see every block. */
MIXORA_API void XMEnableFX(int32_t flag);
MIXORA_API void XMEnableReverb(void);
MIXORA_API void XMDisableReverb(void);
MIXORA_API void XMEnableDelay(void);
MIXORA_API void XMDisableDelay(void);
/** Reverb pre-delay, 1..128 ms. */
MIXORA_API void XMSetReverbDelay(int32_t v);
/** Reverb wet level, 0..32767 (Q15). */
MIXORA_API void XMSetReverbScale(int32_t v);
/** Reverb decay time (to -60 dB), 200..30000 ms. */
MIXORA_API void XMSetReverbDecay(int32_t v);
/** Echo time, 1..32767 ms (the line holds 32767 ms at 48 kHz; less at higher rates). */
MIXORA_API void XMSetDelayTime(int32_t v);
/** Echo level, 0..32767 (Q15). */
MIXORA_API void XMSetDelayScale(int32_t v);
/** Echo position, -32768 (left) .. 32767 (right). */
MIXORA_API void XMSetDelayPan(int32_t v);
/** Echo feedback, 0..32767 (Q15). */
MIXORA_API void XMSetDelayFeed(int32_t v);
/** Stereo widening that leaves the mono sum unchanged. */
MIXORA_API void XMEnableSurround(int32_t flag);
/** Karaoke: removes the centre above 150 Hz; the output stays stereo. */
MIXORA_API void XMCancelVocal(int32_t flag);

/** The ten-band octave equaliser (centres 31, 62, 125, 250, 500 Hz, 1, 2, 4, 8, 16 kHz; peaking
 *  filters one octave wide). It acts on every block whether or not XMEnableFX is on, starts
 *  off and flat, and lowers the input by the largest boost so that raised bands do not clip.
 *  Switched off or with every gain at 0 dB, blocks pass bit-identical (after the gains have
 *  glided back, about a quarter of a second). Bands at or above 0.45 times the sampling rate
 *  are left out. */
MIXORA_API void XMEnableOctaveEQ(int32_t flag);
/** Gain of octave band 0..9 in dB, -12..+12 (clamped); moves over 20 ms. Other bands and NaN
 *  are ignored. */
MIXORA_API void XMSetOctaveEQ(int32_t band, float gainDb);

/** Loads a PCM WAV file (8/16/24-bit, mono or stereo, any rate) into pad 0..7.
 *  Returns 1 when loaded, 0 when not (the pad then keeps what it had). */
MIXORA_API int32_t XMLoadSample(int32_t pad, const char* wavPath);
MIXORA_API void XMPlaySample(int32_t pad);
MIXORA_API void XMStopSample(int32_t pad);
MIXORA_API void XMSetSampleLoop(int32_t pad, int32_t flag);
MIXORA_API void XMSetSamplePan(int32_t pad, int32_t pan);
MIXORA_API void XMSetSampleVolume(int32_t pad, int32_t vol);

/** Any positive value keeps the display data fed (it is computed on request); 0 stops it. */
MIXORA_API void XMEnableVisualization(int32_t updatesPerSecond);
/** Levels: peak absolute sample of the last 50 ms per channel times 256. Where not null:
 *  waveform, 2 x 576 signed 8-bit samples (left, then right); spectrum, 2 x 576 magnitudes
 *  (0..255, 72 dB range) spanning 0 Hz to half the sampling rate linearly. */
MIXORA_API void XMGetVisualization(float* left, float* right, uint8_t* waveform, uint8_t* spectrum);
MIXORA_API void XMClearVisualization(void);
/** The display data shows what is heard: before each read the engine asks source(context) how
 *  many processed frames the output has not played yet and looks that far back. The player's
 *  decoder registers its device here for a playback; null removes it. */
MIXORA_API void XMSetDisplayDelaySource(int64_t (*source)(void* context), void* context);

/** Starts appending every processed block to a 16-bit PCM WAV file (format taken from the
 *  blocks); a running recording is finished first. The header is kept up to date, so the file
 *  is valid even if XMStopRecording never comes. Returns 1 when started. */
MIXORA_API int32_t XMStartRecording(const char* wavPath);
MIXORA_API void XMStopRecording(void);

/** Target of a symbolic link or Windows shell link (".lnk"); "" when unresolvable.
 *  Valid until the calling thread's next call. */
MIXORA_API const char* ResolveLink(const char* path);

#ifdef __cplusplus
}
#endif

#endif
