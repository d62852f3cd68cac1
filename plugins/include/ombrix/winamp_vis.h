/*
 * Winamp's published visualisation interface, as Ombrix Player hosts it on Linux.
 *
 * A Winamp visualisation library ("*.so" in the home's "plugin/amp" folder) exports
 * winampVisGetHeader(), which returns its header; the header's getModule(0), getModule(1), ...
 * give its modules until one is null. The player runs the library in a process of its own
 * (ombrix-plugin-host), fills a module's sample rate (44100), channels (2), parent and instance,
 * calls Init before the first Render, fills spectrumData and waveformData before each Render
 * (ten a second), and calls Quit before unloading.
 *
 * Linux has no window handle to draw into. The module's hwndParent points at an OmbrixAmpCanvas
 * instead: a 320 x 240 picture of 32-bit pixels (0x00RRGGBB, rows top-down, stride in pixels)
 * that Render draws into and that the player shows in a window of its own after each Render.
 * The canvas is valid from Init to Quit; a module must not keep drawing into it from a thread of
 * its own. hDllInstance is the library's dlopen handle.
 */
#ifndef OMBRIX_WINAMP_VIS_H
#define OMBRIX_WINAMP_VIS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VIS_HDRVER 0x101

/** What a module draws into on Linux (see above). */
typedef struct OmbrixAmpCanvas {
    uint32_t* pixels; /**< width x height pixels 0x00RRGGBB, row y starts at pixels + y * stride */
    int32_t width;    /**< 320 */
    int32_t height;   /**< 240 */
    int32_t stride;   /**< pixels from one row to the next */
} OmbrixAmpCanvas;

typedef struct winampVisModule {
    char* description;   /**< the module's name */
    void* hwndParent;    /**< on Linux: an OmbrixAmpCanvas* */
    void* hDllInstance;  /**< the library handle */
    int32_t sRate;       /**< 44100 */
    int32_t nCh;         /**< 2 */
    int32_t latencyMs;   /**< set by the module */
    int32_t delayMs;     /**< set by the module */
    int32_t spectrumNch; /**< spectrum channels the module wants (0..2) */
    int32_t waveformNch; /**< waveform channels the module wants (0..2) */
    unsigned char spectrumData[2][576];
    unsigned char waveformData[2][576];
    void (*Config)(struct winampVisModule* thisModule);
    int32_t (*Init)(struct winampVisModule* thisModule);   /**< 0 when it succeeded */
    int32_t (*Render)(struct winampVisModule* thisModule); /**< 0 to go on, 1 to end */
    void (*Quit)(struct winampVisModule* thisModule);
    void* userData;
} winampVisModule;

typedef struct winampVisHeader {
    int32_t version;   /**< VIS_HDRVER */
    char* description; /**< the library's name */
    winampVisModule* (*getModule)(int32_t index);
} winampVisHeader;

typedef winampVisHeader* (*winampVisGetHeaderType)(void);

/* A library exports:   winampVisHeader* winampVisGetHeader(void);   */

#ifdef __cplusplus
}
#endif

#endif /* OMBRIX_WINAMP_VIS_H */
