/* Tunnel: a full-screen plug-in (320 x 240). A flight down a ringed tunnel whose speed and glow
 * follow the music. The plug-in interface has no context argument, so its state lives here. */
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "ombrix/plugin.h"

#define EXPORT __attribute__((visibility("default")))

static OmbrixPluginRecord* record;
static unsigned char* angles;    /* per pixel: angle around the centre, 0..255 */
static unsigned char* depths;    /* per pixel: depth down the tunnel, 0..255 */
static unsigned char* shades;    /* per pixel: darkening towards the far end */
static float travel, spin, energy;

/* Deep teal to cyan to white, with a magenta turn in the middle for the rings. */
static void setPalette(void) {
    for (int i = 0; i < 256; ++i) {
        const float t = i / 255.0f;
        /* Navy into teal, cyan and white, with a warm glint on the brightest rings. */
        const float r = 10 + 245 * powf(t, 2.4f) + 60 * powf(t, 8.0f);
        const float g = 12 + 220 * powf(t, 0.9f);
        const float b = 45 + 210 * sqrtf(t);
        record->palette[i].red = (unsigned char)(r > 255 ? 255 : r);
        record->palette[i].green = (unsigned char)(g > 255 ? 255 : g);
        record->palette[i].blue = (unsigned char)(b > 255 ? 255 : b);
        record->palette[i].reserved = 0;
    }
    record->paletteChanged = 1;
}

EXPORT const char* _Description(void) {
    return "Tunnel\nA flight down a tunnel that speeds up with the music.\n"
           "Ombrix Player sample plug-in";
}

EXPORT void _Open(OmbrixPluginRecord* r) {
    record = r;
    const int w = r->width, h = r->height;
    const size_t n = (size_t)w * (size_t)h;
    angles = malloc(n);
    depths = malloc(n);
    shades = malloc(n);
    if (!angles || !depths || !shades) return;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float dx = x - w / 2.0f, dy = y - h / 2.0f;
            const float d = sqrtf(dx * dx + dy * dy) + 0.5f;
            const size_t i = (size_t)y * (size_t)w + (size_t)x;
            angles[i] = (unsigned char)(int)(128 + 128 * atan2f(dy, dx) / (float)M_PI);
            depths[i] = (unsigned char)((int)(4096.0f / d) & 255);
            const float s = d / (w / 2.0f);
            shades[i] = (unsigned char)(s > 1 ? 255 : 255 * s);
        }
    travel = spin = energy = 0;
    setPalette();
    memset(r->frame, 0, n);
}

EXPORT void _Close(void) {
    free(angles);
    free(depths);
    free(shades);
    angles = depths = shades = 0;
    record = 0;
}

EXPORT void _Update(const char* title, int32_t timeMs, int32_t zero) {
    (void)title;
    (void)timeMs;
    (void)zero;
    if (!record || !record->frame || !angles) return;
    const int w = record->width, h = record->height;
    int level = (record->leftLevel + record->rightLevel) / 2;
    if (level < 0) level = 0;
    if (level > 32767) level = 32767;
    energy = energy * 0.6f + (level / 32767.0f) * 0.4f;
    travel += 2 + 14 * energy;
    spin += 0.6f + 2 * energy;
    const int dz = (int)travel, da = (int)spin;
    const int glow = 120 + (int)(135 * energy);
    for (int y = 0; y < h; ++y) {
        unsigned char* row = record->frame + (size_t)(h - 1 - y) * (size_t)w;
        const size_t base = (size_t)y * (size_t)w;
        for (int x = 0; x < w; ++x) {
            const int u = angles[base + x] + da, v = depths[base + x] + dz;
            /* Rings along the tunnel and ribs around it. */
            int tex = ((v & 31) < 6 ? 255 : 90) + ((u & 31) < 3 ? 120 : 0) + ((u ^ v) & 63);
            if (tex > 255) tex = 255;
            row[x] = (unsigned char)(tex * shades[base + x] / 255 * glow / 255);
        }
    }
}
