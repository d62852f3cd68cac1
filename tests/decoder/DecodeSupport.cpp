#include "DecodeSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "WavWriter.h"
#include "core/DecoderSettings.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"
#include "output/CaptureAudioDevice.h"

namespace ombrix::test {

using namespace ombrix::mp3;

const char* pathName(DecodePath path) {
    return path == DecodePath::Float ? "float" : path == DecodePath::Mmx ? "mmx" : "k63d";
}

DecodedPcm decodeFile(const std::string& path, const DecodeOptions& options) {
    DecoderSettings settings;
    settings.enableMmx(options.path == DecodePath::Mmx);
    settings.enableK63D(options.path == DecodePath::K63D);
    settings.setVolume(options.volume);
    settings.bufferFrames = options.bufferFrames;
    settings.eqEnabled = options.eqEnabled ? 1 : 0;
    for (auto& gain : settings.eqGains) gain = options.eqGain;

    DecodedPcm out;
    PlaybackControl control;
    control.setLevel(options.levelLeft, options.levelRight);
    CaptureAudioDevice device([&](const PcmFormat& format, const int16_t* samples, size_t count) {
        out.channels = format.channels;
        out.rate = format.rate;
        out.samples.insert(out.samples.end(), samples, samples + count);
        out.blocks.push_back(count);
        if (options.afterBlock) options.afterBlock(control, out.blocks.size());
    });
    EffectsHooks noEffects;  // the decoder's own output, untouched
    Playback playback(settings, control, noEffects);
    out.result = playback.run(path, options.startOffset, &device);
    return out;
}

std::filesystem::path testdataDir() {
    return std::filesystem::path(OMBRIX_TESTDATA_DIR) / "mpeg";
}

std::string bitstream(const std::string& name) {
    return (testdataDir() / (name + ".bit")).string();
}

std::vector<int16_t> readPcm(const std::filesystem::path& path) {
    const std::vector<uint8_t> bytes = readBytes(path);
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return samples;
}

std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

void append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

TempDir::TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("ombrix-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void writeSineWav(const std::filesystem::path& path, int rate, int channels, double seconds,
                  double leftHz, double rightHz, double amplitude) {
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> pcm;
    pcm.reserve(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double hz = c == 0 ? leftHz : rightHz;
            const double v = amplitude * std::sin(2 * M_PI * hz * static_cast<double>(i) / rate);
            pcm.push_back(static_cast<int16_t>(std::lround(v * 32767)));
        }
    }
    writeWav(path, rate, channels, pcm);
}

void writeWav(const std::filesystem::path& path, int rate, int channels,
              const std::vector<int16_t>& pcm) {
    tools::WavWriter writer(path.string(), false);
    ASSERT_TRUE(writer.write(channels, rate, pcm.data(), pcm.size()));
    ASSERT_TRUE(writer.finish());
}

void runTool(const std::string& commandLine) {
    const int status = std::system((commandLine + " >/dev/null 2>&1").c_str());
    ASSERT_EQ(status, 0) << commandLine;
}

void encodeMp3(const std::filesystem::path& wav, const std::filesystem::path& mp3,
               const std::string& arguments) {
    runTool("lame --quiet " + arguments + " '" + wav.string() + "' '" + mp3.string() + "'");
}

uint32_t headerWord(const FrameSpec& s) {
    return 0xFFF00000u | (uint32_t(s.id & 1) << 19) | (uint32_t(4 - s.layer) << 17) |
           (uint32_t(s.protectionAbsent & 1) << 16) | (uint32_t(s.bitrateIndex) << 12) |
           (uint32_t(s.samplingIndex) << 10) | (uint32_t(s.padding) << 9) |
           (uint32_t(s.mode) << 6) | (uint32_t(s.modeExtension) << 4);
}

uint32_t wordAt(const std::vector<uint8_t>& b, size_t pos) {
    return uint32_t{b[pos]} << 24 | uint32_t{b[pos + 1]} << 16 | uint32_t{b[pos + 2]} << 8 |
           b[pos + 3];
}

std::vector<uint8_t> buildFrame(const FrameSpec& spec) {
    const uint32_t word = headerWord(spec);
    FrameHeader header;
    // Headers that are not frames (reserved fields) still get a body to stand in the stream.
    std::vector<uint8_t> frame(header.decode(word) ? header.frameLength() : 400, 0);
    for (int i = 0; i < 4; ++i) frame[i] = static_cast<uint8_t>(word >> (24 - 8 * i));
    return frame;
}

std::filesystem::path silentStream(const TempDir& dir, int frames, const std::string& name) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < frames; ++i) append(bytes, buildFrame({}));
    writeFile(dir / name, bytes);
    return dir / name;
}

void BitWriter::put(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        if (bits_ % 8 == 0) bytes_.push_back(0);
        if ((value >> i) & 1u) bytes_.back() |= static_cast<uint8_t>(0x80u >> (bits_ % 8));
        ++bits_;
    }
}

std::string ConformanceResult::describe() const {
    char text[160];
    std::snprintf(text, sizeof text, "max %.0f, rms %.4f, coverage %.1f%%, offset %ld, %zu samples",
                  maxDiff, rmsDiff, coverage * 100.0, offset, compared);
    return text;
}

namespace {

ConformanceResult measure(const std::vector<int16_t>& decoded,
                          const std::vector<int16_t>& reference, long offset) {
    // decoded[i + offset] is compared with reference[i].
    const long refBegin = std::max<long>(0, -offset);
    const long refEnd = std::min<long>(static_cast<long>(reference.size()),
                                       static_cast<long>(decoded.size()) - offset);
    ConformanceResult r;
    r.offset = offset;
    if (refEnd <= refBegin) return r;
    double sum = 0;
    int maxDiff = 0;
    for (long i = refBegin; i < refEnd; ++i) {
        const int d = std::abs(static_cast<int>(decoded[static_cast<size_t>(i + offset)]) -
                               reference[static_cast<size_t>(i)]);
        maxDiff = std::max(maxDiff, d);
        sum += static_cast<double>(d) * d;
    }
    r.compared = static_cast<size_t>(refEnd - refBegin);
    r.maxDiff = maxDiff;
    r.rmsDiff = std::sqrt(sum / static_cast<double>(r.compared));
    r.coverage = static_cast<double>(r.compared) / static_cast<double>(reference.size());
    return r;
}

}  // namespace

ConformanceResult compareWithReference(const std::vector<int16_t>& decoded,
                                       const std::vector<int16_t>& reference, size_t frameSamples,
                                       int maxShift) {
    ConformanceResult best;
    if (reference.empty()) {
        best.coverage = 1.0;
        best.maxDiff = decoded.empty() ? 0.0 : 32768.0;
        return best;
    }
    const size_t shorter = std::min(decoded.size(), reference.size());
    bool found = false;
    for (int shift = -maxShift; shift <= maxShift; ++shift) {
        const ConformanceResult r =
            measure(decoded, reference, static_cast<long>(shift) * static_cast<long>(frameSamples));
        if (r.compared == 0 || r.compared * 2 < shorter) continue;
        if (!found || r.rmsDiff < best.rmsDiff) best = r;
        found = true;
    }
    if (!found) best.maxDiff = best.rmsDiff = 32768.0;
    return best;
}

void expectConforms(const ConformanceResult& r, double maxDiff, double rms,
                    const std::string& what) {
    std::printf("%-26s %s\n", what.c_str(), r.describe().c_str());
    EXPECT_LE(r.maxDiff, maxDiff) << what << ": " << r.describe();
    EXPECT_LE(r.rmsDiff, rms) << what << ": " << r.describe();
    EXPECT_GE(r.coverage, 0.95) << what << ": " << r.describe();
}

}  // namespace ombrix::test
