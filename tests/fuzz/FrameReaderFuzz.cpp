// Frames, bits, seeks and durations over arbitrary bytes: nothing may read outside a buffer
// and every loop must end.
#include "FuzzInput.h"
#include "core/FrameReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ombrix::mp3;
    if (size < 2) return 0;
    const uint8_t control = data[0];
    const std::string& path = ombrix::fuzz::writeScratch(data + 1, size - 1);
    FrameReader reader(path, control & 3);
    FrameHeader header;
    Crc16* crc = nullptr;
    int frames = 0;
    while (reader.readFrame(header, crc)) {
        reader.getBits(1 + (frames % 16));
        reader.getBits(32);
        if (crc) crc->feed(reader.getBits(16), 16);
        (void)reader.totalMs(header);
        (void)reader.frameCountEstimate(header);
        if (++frames == 3 && (control & 4)) reader.seekToFrame(header, control >> 3);
        if (frames == 5 && (control & 8) && reader.hasSeekTable()) {
            reader.seekToPercent(header, static_cast<float>(control % 101));
        }
    }
    return 0;
}
