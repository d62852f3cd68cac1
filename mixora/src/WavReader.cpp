#include "WavReader.h"

#include <cstring>
#include <fstream>
#include <vector>

namespace mixora {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct Format {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t blockAlign = 0;
    uint16_t bits = 0;
};

Format parseFormat(std::span<const uint8_t> chunk) {
    if (chunk.size() < 16) throw WavError("format chunk too short");
    Format f;
    f.tag = le16(&chunk[0]);
    f.channels = le16(&chunk[2]);
    f.rate = le32(&chunk[4]);
    f.blockAlign = le16(&chunk[12]);
    f.bits = le16(&chunk[14]);
    if (f.tag == kFormatExtensible) {
        // The sub-format GUID begins with the plain format tag.
        if (chunk.size() < 40) throw WavError("extensible format chunk too short");
        f.tag = le16(&chunk[24]);
    }
    if (f.tag != kFormatPcm) throw WavError("not integer PCM");
    if (f.channels < 1 || f.channels > 2) throw WavError("only mono and stereo are supported");
    if (f.bits != 8 && f.bits != 16 && f.bits != 24) throw WavError("unsupported sample size");
    if (f.rate < 1000 || f.rate > 768000) throw WavError("unsupported sample rate");
    if (f.blockAlign != f.channels * (f.bits / 8)) throw WavError("inconsistent block alignment");
    return f;
}

int16_t sampleAt(const uint8_t* p, int bits) {
    switch (bits) {
        case 8:
            return static_cast<int16_t>((static_cast<int>(p[0]) - 128) * 256);
        case 16:
            return static_cast<int16_t>(le16(p));
        default:  // 24: keep the top 16 bits
            return static_cast<int16_t>(le16(p + 1));
    }
}

}  // namespace

PcmSound WavReader::parse(std::span<const uint8_t> bytes) {
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        throw WavError("not a RIFF WAVE file");

    bool haveFormat = false;
    Format format;
    size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        const uint8_t* header = bytes.data() + pos;
        const uint32_t declared = le32(header + 4);
        const size_t body = pos + 8;
        const size_t available = bytes.size() - body;
        const size_t size = declared < available ? declared : available;

        if (std::memcmp(header, "fmt ", 4) == 0) {
            format = parseFormat(bytes.subspan(body, size));
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!haveFormat) throw WavError("data chunk before the format chunk");
            const size_t frames = size / format.blockAlign;
            if (frames == 0) throw WavError("no samples");
            if (frames > kMaxFrames) throw WavError("sound too long");
            PcmSound sound;
            sound.sampleRate = static_cast<int>(format.rate);
            sound.channels = format.channels;
            sound.samples.resize(frames * format.channels);
            const int bytesPerSample = format.bits / 8;
            const uint8_t* src = bytes.data() + body;
            for (size_t i = 0; i < sound.samples.size(); ++i)
                sound.samples[i] = sampleAt(src + i * bytesPerSample, format.bits);
            return sound;
        }
        // Chunks are padded to an even length.
        if (declared > bytes.size()) break;
        pos = body + declared + (declared & 1u);
    }
    throw WavError(haveFormat ? "no data chunk" : "no format chunk");
}

PcmSound WavReader::readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw WavError("cannot open " + path);
    std::vector<uint8_t> bytes;
    constexpr size_t kChunk = 1 << 16;
    while (in) {
        const size_t old = bytes.size();
        if (old >= kMaxFileBytes) throw WavError("file too large");
        bytes.resize(old + kChunk);
        in.read(reinterpret_cast<char*>(bytes.data() + old), kChunk);
        bytes.resize(old + static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) throw WavError("cannot read " + path);
    return parse(bytes);
}

}  // namespace mixora
