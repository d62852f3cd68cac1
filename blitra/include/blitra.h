/**
 * @file blitra.h
 * @brief Pixel copies for the player's display: a plain byte copy and a 2x enlarging copy of a
 *        320 x 240 8-bit picture.
 *
 * C linkage. Both functions are reentrant and may be called from any thread; they never fail
 * and never allocate. Buffers must not overlap.
 */
#ifndef BLITRA_H
#define BLITRA_H

#include <stdint.h>

#if defined(BLITRA_BUILDING)
#define BLITRA_API __attribute__((visibility("default")))
#else
#define BLITRA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Copies @p count bytes from @p source to @p destination (nothing when count <= 0). */
BLITRA_API void MMXBlit(void* destination, const void* source, int32_t count);

/** Writes each pixel of the 320 x 240 8-bit picture @p source as a 2 x 2 block of the
 *  640 x 480 8-bit picture @p destination (rows of 320 and 640 bytes, no padding). */
BLITRA_API void MMXBlit320x240(void* destination, const void* source);

#ifdef __cplusplus
}
#endif

#endif
