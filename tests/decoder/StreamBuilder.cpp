#include "StreamBuilder.h"

#include <fstream>

namespace ombrix::test {

uint32_t headerWord(const FrameSpec& s) {
    return 0xFFF00000u | (uint32_t(s.id & 1) << 19) | (uint32_t(4 - s.layer) << 17) |
           (uint32_t(s.protectionAbsent & 1) << 16) | (uint32_t(s.bitrateIndex) << 12) |
           (uint32_t(s.samplingIndex) << 10) | (uint32_t(s.padding) << 9) | (uint32_t(s.mode) << 6);
}

std::vector<uint8_t> buildFrame(const FrameSpec& spec) {
    const uint32_t word = headerWord(spec);
    mp3::FrameHeader header;
    // Headers that are not frames (reserved fields) still get a body to stand in the stream.
    const uint32_t length = header.decode(word) ? header.frameLength() : 400;
    std::vector<uint8_t> frame(length, spec.fill);
    frame[0] = uint8_t(word >> 24);
    frame[1] = uint8_t(word >> 16);
    frame[2] = uint8_t(word >> 8);
    frame[3] = uint8_t(word);
    return frame;
}

void append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

}  // namespace ombrix::test
