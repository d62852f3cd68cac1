/**
 * @file mixora.h
 * @brief The effects engine: every decoded block passes through it before the sound device.
 *
 * C linkage; outside programs load the library by these names. Integers are 32-bit signed.
 * The block calls (shortStereo, shortMono) run on the playback thread; every other call may be
 * made from any thread at any time.
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

MIXORA_API void XMEnableFX(int32_t flag);
MIXORA_API void XMEnableReverb(void);
MIXORA_API void XMDisableReverb(void);
MIXORA_API void XMEnableDelay(void);
MIXORA_API void XMDisableDelay(void);
MIXORA_API void XMSetReverbDelay(int32_t v);
MIXORA_API void XMSetReverbScale(int32_t v);
MIXORA_API void XMSetReverbDecay(int32_t v);
MIXORA_API void XMSetDelayTime(int32_t v);
MIXORA_API void XMSetDelayScale(int32_t v);
MIXORA_API void XMSetDelayPan(int32_t v);
MIXORA_API void XMSetDelayFeed(int32_t v);
MIXORA_API void XMEnableSurround(int32_t flag);
MIXORA_API void XMCancelVocal(int32_t flag);

/** Loads a PCM WAV file into pad 0..7. Returns 1 when loaded, 0 when not. */
MIXORA_API int32_t XMLoadSample(int32_t pad, const char* wavPath);
MIXORA_API void XMPlaySample(int32_t pad);
MIXORA_API void XMStopSample(int32_t pad);
MIXORA_API void XMSetSampleLoop(int32_t pad, int32_t flag);
MIXORA_API void XMSetSamplePan(int32_t pad, int32_t pan);
MIXORA_API void XMSetSampleVolume(int32_t pad, int32_t vol);

MIXORA_API void XMEnableVisualization(int32_t updatesPerSecond);
/** Levels (peak x 256) and, where the buffers are not null, 2 x 576 bytes of waveform and spectrum.
 */
MIXORA_API void XMGetVisualization(float* left, float* right, uint8_t* waveform, uint8_t* spectrum);
MIXORA_API void XMClearVisualization(void);

/** Starts appending every processed block to a 16-bit PCM WAV file. Returns 1 when started. */
MIXORA_API int32_t XMStartRecording(const char* wavPath);
MIXORA_API void XMStopRecording(void);

/** Target of a symbolic link or Windows shell link; "" when unresolvable. Valid until the next
 * call. */
MIXORA_API const char* ResolveLink(const char* path);

#ifdef __cplusplus
}
#endif

#endif
