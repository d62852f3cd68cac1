#include "core/FrameHeader.h"

#include <algorithm>

namespace ombrix::mp3 {

namespace {

// kbit/s by [id][layer - 1][bitrateIndex]; index 0 (free format) and 15 (reserved) hold 0.
constexpr int kBitrates[2][3][16] = {
    {// MPEG-2, lower sampling frequencies
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    {// MPEG-1
     {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
};

constexpr int kSamplingRates[2][3] = {{22050, 24000, 16000}, {44100, 48000, 32000}};

}  // namespace

void Crc16::feed(uint32_t bits, int count) noexcept {
    for (int i = count - 1; i >= 0; --i) {
        const bool dataBit = (bits >> i) & 1u;
        const bool topBit = (value_ & 0x8000u) != 0;
        value_ = static_cast<uint16_t>(value_ << 1);
        if (topBit != dataBit) value_ ^= 0x8005u;
    }
}

int bitrateOf(int id, int layer, int bitrateIndex) noexcept {
    if (id < 0 || id > 1 || layer < 1 || layer > 3 || bitrateIndex < 0 || bitrateIndex > 15)
        return 0;
    return kBitrates[id][layer - 1][bitrateIndex] * 1000;
}

int samplingRateOf(int id, int samplingIndex) noexcept {
    if (id < 0 || id > 1 || samplingIndex < 0 || samplingIndex > 2) return 0;
    return kSamplingRates[id][samplingIndex];
}

bool FrameHeader::decode(uint32_t word) noexcept {
    const int layerBits = (word >> 17) & 3;
    const int rateIndex = (word >> 12) & 15;
    const int sampling = (word >> 10) & 3;
    if (layerBits == 0 || rateIndex == 0 || rateIndex == 15 || sampling == 3) return false;

    id = (word >> 19) & 1;
    layer = 4 - layerBits;
    protectionAbsent = (word >> 16) & 1;
    bitrateIndex = rateIndex;
    samplingIndex = sampling;
    padding = (word >> 9) & 1;
    mode = (word >> 6) & 3;
    modeExtension = (word >> 4) & 3;
    jsBound = mode == kJointStereo ? 4 * modeExtension + 4 : 0;

    if (layer == 1) {
        sbLimit = 32;
    } else if (id == 0) {
        sbLimit = 30;  // MPEG-2 Layer II has a single allocation table
    } else {
        int b = bitrateIndex;
        // Per-channel rate class; two-channel rates below 64 kbit/s are not allowed by the
        // standard, and the low-rate tables are the ones their per-channel rate belongs to.
        if (mode != kSingleChannel) b = std::max(b - 4, 1);
        if (b == 1 || b == 2) {
            sbLimit = samplingIndex == 2 ? 12 : 8;
        } else if (samplingIndex == 1 || (b >= 3 && b <= 5)) {
            sbLimit = 27;
        } else {
            sbLimit = 30;
        }
    }
    if (jsBound > sbLimit) jsBound = sbLimit;

    const uint32_t length = frameLength();
    payloadLength = length > 4 ? length - 4 : 0;
    mainDataLength = 0;
    if (layer == 3) {
        const int overhead = sideInfoLength() + (protectionAbsent == 0 ? 2 : 0) + 4;
        mainDataLength = length > static_cast<uint32_t>(overhead) ? length - overhead : 0;
    }
    return true;
}

int FrameHeader::bitrate() const noexcept {
    return bitrateOf(id, layer, bitrateIndex);
}

int FrameHeader::samplingRate() const noexcept {
    return samplingRateOf(id, samplingIndex);
}

int FrameHeader::samplesPerFrame() const noexcept {
    if (layer == 1) return 384;
    if (layer == 3 && id == 0) return 576;
    return 1152;
}

uint32_t FrameHeader::frameLength() const noexcept {
    const uint64_t rate = static_cast<uint64_t>(samplingRate());
    const uint64_t bits = static_cast<uint64_t>(bitrate());
    if (rate == 0 || bits == 0) return 0;
    if (layer == 1) return static_cast<uint32_t>((12 * bits / rate + padding) * 4);
    uint64_t length = 144 * bits / rate;
    if (layer == 3 && id == 0) length /= 2;  // 576 samples per frame
    return static_cast<uint32_t>(length + padding);
}

int FrameHeader::sideInfoLength() const noexcept {
    const bool mono = mode == kSingleChannel;
    if (id == 1) return mono ? 17 : 32;
    return mono ? 9 : 17;
}

}  // namespace ombrix::mp3
