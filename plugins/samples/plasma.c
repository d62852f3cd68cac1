/* Plasma: a background plug-in for the panel's 220 x 80 screen. Slow colour clouds that swell
 * and brighten with the music, and a glowing ridge that follows the left and right levels.
 * The plug-in interface has no context argument, so its state lives in this file. */
#include <math.h>
#include <string.h>

#include "ombrix/plugin.h"

#define EXPORT __attribute__((visibility("default")))

static OmbrixPluginRecord* record;
static unsigned char sine[256];
static float phase;
static float energy;

static unsigned char mix(int a, int b, int t) { return (unsigned char)(a + (b - a) * t / 63); }

/* The clouds use indices 0..63: sky, lavender, rose, peach and cream, light enough for the
 * panel's dark text. The screen adds 128 to the rest of the position bar and 192 to its played
 * part, so 128..191 hold the clouds dimmed (the bar's track) and 192..255 a deep indigo (the
 * played part); 64..127 repeat the clouds. */
static void setPalette(void) {
    static const int stops[5][3] = {
        {110, 160, 215}, {165, 150, 225}, {230, 160, 200}, {250, 205, 160}, {255, 248, 225}};
    for (int i = 0; i < 256; ++i) {
        const int c = (i & 63) * 4; /* 0..252 along the stops */
        const int band = c / 64, t = (c % 64);
        const int* a = stops[band];
        const int* b = stops[band + 1];
        int rgb[3] = {mix(a[0], b[0], t), mix(a[1], b[1], t), mix(a[2], b[2], t)};
        if (i >= 192) {
            rgb[0] = 60 - (i - 192) / 4;
            rgb[1] = 50 - (i - 192) / 4;
            rgb[2] = 130 - (i - 192) / 3;
        } else if (i >= 128) {
            for (int k = 0; k < 3; ++k) rgb[k] = rgb[k] * 70 / 100;
        }
        record->palette[i].red = (unsigned char)rgb[0];
        record->palette[i].green = (unsigned char)rgb[1];
        record->palette[i].blue = (unsigned char)rgb[2];
        record->palette[i].reserved = 0;
    }
    record->paletteChanged = 1;
}

EXPORT const char* _Description(void) {
    return "Plasma\nColour clouds that swell with the music.\nOmbrix Player sample plug-in";
}

EXPORT void _Open(OmbrixPluginRecord* r) {
    record = r;
    for (int i = 0; i < 256; ++i) sine[i] = (unsigned char)(127.5 + 127.5 * sin(i * M_PI / 128));
    phase = 0;
    energy = 0;
    setPalette();
    memset(r->frame, 0, (size_t)(r->width * r->height));
}

EXPORT void _Close(void) { record = 0; }

EXPORT void _Update(const char* title, int32_t timeMs, int32_t zero) {
    (void)title;
    (void)zero;
    if (!record || !record->frame) return;
    const int w = record->width, h = record->height;
    int left = record->leftLevel, right = record->rightLevel;
    if (left > 32767) left = 32767;
    if (right > 32767) right = 32767;
    const float level = (left + right) / 65534.0f;
    energy = energy * 0.7f + level * 0.3f;            /* eases the jumps between ticks */
    phase += 1.0f + 6.0f * energy + (timeMs ? 0.5f : 0.0f);
    const int t = (int)phase;
    const int gain = 96 + (int)(160 * energy);
    for (int y = 0; y < h; ++y) {
        unsigned char* row = record->frame + (size_t)(h - 1 - y) * (size_t)w; /* bottom-up */
        for (int x = 0; x < w; ++x) {
            int v = sine[(x * 3 + t) & 255] + sine[(y * 5 - t * 2) & 255] +
                    sine[((x + y) * 2 + t * 3) & 255] + sine[(sine[(x + t) & 255] + y * 4) & 255];
            v = (v / 4) * gain / 256 / 4;
            row[x] = (unsigned char)(v > 63 ? 63 : v);
        }
    }
    /* The ridge: a glowing crest whose height runs from the left level to the right one. */
    for (int x = 0; x < w; ++x) {
        const float side = (left + (right - left) * (float)x / (float)(w - 1)) / 32767.0f;
        const float wave = 0.5f + 0.5f * sinf((x + phase * 2) * 0.07f);
        const int top = (int)((h - 6) * side * (0.6f + 0.4f * wave));
        for (int y = top - 14; y <= top && y < h; ++y) {
            if (y < 0) continue;
            unsigned char* p = record->frame + (size_t)y * (size_t)w + x; /* y = 0 is the bottom */
            const int glow = 63 - (top - y) * 3;
            if (glow > *p) *p = (unsigned char)glow;
        }
    }
}
