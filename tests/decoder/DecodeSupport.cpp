#include "DecodeSupport.h"

#include <gtest/gtest.h>

#include <cmath>
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

DecodedPcm decodeFile(const std::string& path, const DecodeOptions& options) {
    DecoderSettings settings;
    settings.enableMmx(options.path == DecodePath::Mmx);
    settings.enableK63D(options.path == DecodePath::K63D);
    settings.setVolume(options.volume);
    settings.bufferFrames = options.bufferFrames;
    settings.eqEnabled = options.eqEnabled ? 1 : 0;
    for (auto& gain : settings.eqGains) gain = options.eqGain;

    DecodedPcm out;
    CaptureAudioDevice device([&](const PcmFormat& format, const int16_t* samples, size_t count) {
        out.channels = format.channels;
        out.rate = format.rate;
        out.samples.insert(out.samples.end(), samples, samples + count);
    });
    PlaybackControl control;
    EffectsHooks noEffects;  // the decoder's own output, untouched
    Playback playback(settings, control, noEffects);
    out.result = playback.run(path, options.startOffset, &device);
    return out;
}

std::filesystem::path testdataDir() {
    return std::filesystem::path(OMBRIX_TESTDATA_DIR) / "mpeg";
}

std::vector<int16_t> readPcm(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                          (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    }
    return samples;
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

}  // namespace ombrix::test
