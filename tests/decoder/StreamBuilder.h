#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "core/FrameHeader.h"

namespace ombrix::test {

/// Header fields of a frame to build; payload bytes are zero (silence for every layer).
struct FrameSpec {
    int id = 1;
    int layer = 3;
    int bitrateIndex = 9;  // 128 kbit/s for MPEG-1 Layer III
    int samplingIndex = 0;
    int padding = 0;
    int mode = 0;
    int protectionAbsent = 1;
    uint8_t fill = 0;  ///< payload byte value
};

uint32_t headerWord(const FrameSpec& spec);
/// One whole frame: header, then zero payload of the frame length the header implies.
std::vector<uint8_t> buildFrame(const FrameSpec& spec);
void append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes);
void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

}  // namespace ombrix::test
