#include "blitra.h"

#include <string.h>

void MMXBlit(void* destination, const void* source, int32_t count) {
    if (count <= 0 || !destination || !source) return;
    memcpy(destination, source, (size_t)count);
}

void MMXBlit320x240(void* destination, const void* source) {
    if (!destination || !source) return;
    const uint8_t* src = (const uint8_t*)source;
    uint8_t* dst = (uint8_t*)destination;
    for (int y = 0; y < 240; ++y) {
        uint8_t* row = dst + (size_t)y * 2 * 640;
        const uint8_t* in = src + (size_t)y * 320;
        for (int x = 0; x < 320; ++x) {
            row[2 * x] = in[x];
            row[2 * x + 1] = in[x];
        }
        /* The second row of each pair is the first one again. */
        memcpy(row + 640, row, 640);
    }
}
