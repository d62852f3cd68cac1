/*
 * Ombrix Player: the contract of background and full-screen visual plug-ins.
 *
 * A plug-in is a shared object ("*.so") in the home's "plugin/bg" (background: the panel's
 * 220 x 80 screen) or "plugin/full" (full screen: 320 x 240, shown doubled) folder. The player
 * runs each plug-in in a process of its own (ombrix-plugin-host), so a plug-in that crashes or
 * hangs ends only that process; the player then shows its own background again.
 *
 * Exports, all with C linkage and the platform's plain C calling convention, each looked up
 * first by its plain name, then by its decorated name:
 *
 *   const char* _Description(void);     "_Description@0"  optional: a zero-terminated text,
 *                                                          lines separated by line feeds
 *   void _Config(OmbrixPluginRecord*);  "_Config@4"       optional: shows the plug-in's settings
 *   void _Open(OmbrixPluginRecord*);    "_Open@4"         required: called once after loading
 *   void _Close(void);                  "_Close@0"        required: called once before unloading
 *   void _Update(const char* title,     "_Update@12"      required: draws one frame into the
 *                int32_t timeMs,                          record's frame buffer; @c title is a
 *                int32_t zero);                           zero-terminated copy of the title
 *                                                         line, @c timeMs the play time (0 when
 *                                                         stopped or paused), @c zero is 0
 *
 * Write plug-ins with the plain names. The decorated names are for libraries converted from
 * the stdcall convention: the GNU linker reads "@" in a name as a symbol version, so a library
 * holding them has them written into its dynamic symbol table after linking (the test suite's
 * tests/plugins/decorate-names.py does this).
 *
 * The record belongs to the host and outlives the plug-in; the plug-in keeps the pointer it was
 * given in _Open and may read and write the record between calls. Updates come from one thread,
 * ten a second for the screen; an update that has not returned after ten ticks ends the plug-in.
 */
#ifndef OMBRIX_PLUGIN_H
#define OMBRIX_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/** One palette entry, in the order the player reads it: blue, green, red, reserved. */
typedef struct OmbrixPaletteEntry {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t reserved;
} OmbrixPaletteEntry;

/** The record shared between the player and a background or full-screen plug-in. */
typedef struct OmbrixPluginRecord {
    void* applicationWindow;  /**< parent for dialogs; null (a plug-in runs without a window) */
    void* module;             /**< the plug-in's own library handle (from dlopen) */
    const char* programDirectory; /**< the player's home, zero-terminated, ending in "/" */
    uint8_t* frame;           /**< width x height palette indices, rows bottom-up */
    int32_t width;            /**< 220 for background, 320 for full screen */
    int32_t height;           /**< 80 for background, 240 for full screen */
    int32_t unused1;          /**< not used by the player */
    int32_t leftLevel;        /**< 0..32767 (and above), set before each update */
    int32_t rightLevel;       /**< likewise */
    int32_t unused2;          /**< not used by the player */
    OmbrixPaletteEntry palette[256]; /**< set by the plug-in; read at load and when changed */
    int32_t paletteChanged;   /**< cleared before each update; non-zero: palette is read again */
} OmbrixPluginRecord;

typedef const char* (*OmbrixDescriptionFunction)(void);
typedef void (*OmbrixConfigFunction)(OmbrixPluginRecord*);
typedef void (*OmbrixOpenFunction)(OmbrixPluginRecord*);
typedef void (*OmbrixCloseFunction)(void);
typedef void (*OmbrixUpdateFunction)(const char* title, int32_t timeMs, int32_t zero);

#ifdef __cplusplus
}
#endif

#endif /* OMBRIX_PLUGIN_H */
