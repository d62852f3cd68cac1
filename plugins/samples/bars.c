/* Bars: a visualisation module with Winamp's interface. A spectrum of glowing bars with falling
 * peaks over a mirrored waveform, drawn into the player's 320 x 240 canvas with soft trails. */
#include <string.h>

#include "ombrix/winamp_vis.h"

#define EXPORT __attribute__((visibility("default")))
#define BARS 40

static float heights[BARS], peaks[BARS];

static uint32_t rgb(int r, int g, int b) {
    if (r > 255) r = 255;
    if (g > 255) g = 255;
    if (b > 255) b = 255;
    return (uint32_t)(r << 16 | g << 8 | b);
}

/* Green at the floor, amber in the middle, coral at the top. */
static uint32_t barColour(int y, int height) {
    const int t = 255 * y / (height > 1 ? height - 1 : 1);
    return t < 128 ? rgb(40 + t, 200 + t / 4, 120 - t / 2) : rgb(168 + (t - 128) * 2 / 3, 232 - (t - 128), 56);
}

static int init(winampVisModule* m) {
    (void)m;
    memset(heights, 0, sizeof heights);
    memset(peaks, 0, sizeof peaks);
    return 0;
}

static int render(winampVisModule* m) {
    OmbrixAmpCanvas* c = (OmbrixAmpCanvas*)m->hwndParent;
    if (!c || !c->pixels) return 0;
    const int w = c->width, h = c->height;
    /* Trails: everything fades a little each frame towards a night-blue ground. */
    for (int y = 0; y < h; ++y) {
        uint32_t* row = c->pixels + (size_t)y * (size_t)c->stride;
        for (int x = 0; x < w; ++x) {
            const uint32_t p = row[x];
            const int r = (int)(p >> 16 & 255), g = (int)(p >> 8 & 255), b = (int)(p & 255);
            row[x] = rgb(r * 3 / 4 + 2, g * 3 / 4 + 3, b * 3 / 4 + 9);
        }
    }
    /* The waveform, mirrored about the middle, in pale violet. */
    for (int x = 0; x < w; ++x) {
        const int s = (signed char)m->waveformData[0][x * 575 / (w - 1)];
        const int y0 = h / 2 - s * h / 512, y1 = h / 2 + s * h / 512;
        for (int y = y0 < y1 ? y0 : y1; y <= (y0 < y1 ? y1 : y0); ++y)
            if (y >= 0 && y < h) c->pixels[(size_t)y * (size_t)c->stride + x] = rgb(150, 120, 230);
    }
    /* Bars over bands that widen towards the treble, as the ear hears them. */
    const int barWidth = w / BARS;
    int band = 0;
    for (int i = 0; i < BARS; ++i) {
        int end = 1 + ((i + 1) * (i + 1) * 575) / (BARS * BARS);
        if (end <= band) end = band + 1; /* every bar has a band of its own */
        int sum = 0, count = 0;
        for (; band < end && band < 576; ++band, ++count)
            sum += m->spectrumData[0][band] + m->spectrumData[1][band];
        const float value = count ? sum / (2.0f * count * 255) : heights[i] * 0.8f;
        heights[i] = value > heights[i] ? value : heights[i] * 0.85f;
        peaks[i] = heights[i] > peaks[i] ? heights[i] : peaks[i] - 0.012f;
        const int top = (int)(heights[i] * (h - 8));
        for (int y = 0; y < top; ++y) {
            uint32_t* row = c->pixels + (size_t)(h - 1 - y) * (size_t)c->stride;
            for (int x = i * barWidth + 1; x < (i + 1) * barWidth - 1; ++x)
                row[x] = barColour(y, h - 8);
        }
        const int peak = (int)(peaks[i] * (h - 8));
        if (peak > 0 && peak < h) {
            uint32_t* row = c->pixels + (size_t)(h - 1 - peak) * (size_t)c->stride;
            for (int x = i * barWidth + 1; x < (i + 1) * barWidth - 1; ++x)
                row[x] = rgb(255, 250, 235);
        }
    }
    return 0;
}

static void quit(winampVisModule* m) { (void)m; }

static winampVisModule module = {
    "Bars: spectrum and waveform", 0, 0, 0, 0, 25, 25, 2, 2, {{0}}, {{0}}, 0, init, render, quit, 0};

static winampVisModule* getModule(int32_t index) { return index == 0 ? &module : 0; }

static winampVisHeader header = {VIS_HDRVER, "Ombrix sample visualisation", getModule};

EXPORT winampVisHeader* winampVisGetHeader(void) { return &header; }
