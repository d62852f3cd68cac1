#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ombrix::test {

/// Which synthesis arithmetic a decode uses.
enum class DecodePath { Float, Mmx, K63D };

struct DecodeOptions {
    int32_t volume = 32768;
    DecodePath path = DecodePath::Float;
    int32_t startOffset = 0;
    int32_t bufferFrames = 12;
    bool eqEnabled = false;
    float eqGain = 1.0f;  ///< the same gain for all 32 bands when eqEnabled
};

struct DecodedPcm {
    int32_t result = 0;  ///< what the playback returned (1, 0, -1)
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> samples;  ///< interleaved
};

/// Runs the real playback loop over `path` with a capture device and returns what it produced.
DecodedPcm decodeFile(const std::string& path, const DecodeOptions& options = {});

/// The conformance bitstream directory (NAME.bit with NAME.pcm).
std::filesystem::path testdataDir();
/// Reads a reference .pcm file (16-bit little-endian).
std::vector<int16_t> readPcm(const std::filesystem::path& path);

/// A fresh temporary directory removed when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const noexcept { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

/// Writes a 16-bit WAV of `seconds` of a sine (per channel frequencies; 0 Hz = silence).
void writeSineWav(const std::filesystem::path& path, int rate, int channels, double seconds,
                  double leftHz, double rightHz = 0, double amplitude = 0.5);
/// Writes interleaved 16-bit samples as a WAV file.
void writeWav(const std::filesystem::path& path, int rate, int channels,
              const std::vector<int16_t>& pcm);
/// Runs an encoder command line (lame, twolame); fails the test when it does not succeed.
void runTool(const std::string& commandLine);
/// Encodes a WAV file with lame; `arguments` such as "-b 128".
void encodeMp3(const std::filesystem::path& wav, const std::filesystem::path& mp3,
               const std::string& arguments);

}  // namespace ombrix::test
