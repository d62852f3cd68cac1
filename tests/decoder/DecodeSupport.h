#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/FrameHeader.h"

namespace ombrix::mp3 {
class PlaybackControl;
}

namespace ombrix::test {

/// Which synthesis arithmetic a decode uses.
enum class DecodePath { Float, Mmx, K63D };
inline constexpr DecodePath kAllPaths[] = {DecodePath::Float, DecodePath::Mmx, DecodePath::K63D};
const char* pathName(DecodePath path);

struct DecodeOptions {
    int32_t volume = 32768;
    DecodePath path = DecodePath::Float;
    int32_t startOffset = 0;
    int32_t bufferFrames = 12;
    bool eqEnabled = false;
    float eqGain = 1.0f;  ///< the same gain for all 32 bands when eqEnabled
    uint32_t levelLeft = 0x10000;  ///< the player's own level, 16.16
    uint32_t levelRight = 0x10000;
    /// Called after each block the device takes, with the playback's control (on the playback
    /// thread): a test changes the level there as a user would while the song plays.
    std::function<void(mp3::PlaybackControl&, size_t block)> afterBlock;
};

struct DecodedPcm {
    int32_t result = 0;  ///< what the playback returned (1, 0, -1)
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> samples;  ///< interleaved
    std::vector<size_t> blocks;    ///< the size of each block handed to the device, in samples
};

/// The real playback loop over `path` into a capture device.
DecodedPcm decodeFile(const std::string& path, const DecodeOptions& options = {});

/// The conformance bitstream directory (NAME.bit with NAME.pcm).
std::filesystem::path testdataDir();
/// testdataDir()/NAME.bit
std::string bitstream(const std::string& name);
/// Reads a reference .pcm file (16-bit little-endian).
std::vector<int16_t> readPcm(const std::filesystem::path& path);
std::vector<uint8_t> readBytes(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
void append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes);

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

/// A 16-bit WAV of a sine per channel (0 Hz = silence).
void writeSineWav(const std::filesystem::path& path, int rate, int channels, double seconds,
                  double leftHz, double rightHz = 0, double amplitude = 0.5);
/// Writes interleaved 16-bit samples as a WAV file.
void writeWav(const std::filesystem::path& path, int rate, int channels,
              const std::vector<int16_t>& pcm);
/// Runs a command line (lame, twolame, ffmpeg); fails the test when it fails.
void runTool(const std::string& commandLine);
/// Encodes a WAV file with lame; `arguments` such as "-b 128".
void encodeMp3(const std::filesystem::path& wav, const std::filesystem::path& mp3,
               const std::string& arguments);

/// Header fields of a frame to build; payload bytes are zero (silence for every layer).
struct FrameSpec {
    int id = 1;
    int layer = 3;
    int bitrateIndex = 9;  // 128 kbit/s for MPEG-1 Layer III
    int samplingIndex = 0;
    int padding = 0;
    int mode = 0;
    int protectionAbsent = 1;
    int modeExtension = 0;
};

uint32_t headerWord(const FrameSpec& spec);
/// The 32-bit word at `pos` of a stream.
uint32_t wordAt(const std::vector<uint8_t>& bytes, size_t pos);
/// One whole frame: header, then zero payload of the frame length the header implies.
std::vector<uint8_t> buildFrame(const FrameSpec& spec);
/// `frames` silent MPEG-1 Layer III frames at 44.1 kHz and 128 kbit/s, written to dir/name.
std::filesystem::path silentStream(const TempDir& dir, int frames,
                                   const std::string& name = "silent.mp3");

/// Builds bit strings most significant bit first, as MPEG audio frames store them.
class BitWriter {
public:
    void put(uint32_t value, int count);
    size_t bitCount() const noexcept { return bits_; }
    const std::vector<uint8_t>& bytes() const noexcept { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t bits_ = 0;
};

/// How a decoded stream compares with its reference output.
struct ConformanceResult {
    double maxDiff = 0;   ///< largest absolute difference, in 16-bit steps
    double rmsDiff = 0;   ///< RMS difference, in 16-bit steps
    double coverage = 0;  ///< fraction of the reference matched by decoded samples (0..1)
    long offset = 0;      ///< decoded index of reference sample 0, in samples (may be negative)
    size_t compared = 0;  ///< samples compared

    std::string describe() const;
};

/// Measures the difference at the best whole-frame alignment within +-maxShift frames of
/// `frameSamples` interleaved samples: a decoder may drop or add frames at a Layer III start.
ConformanceResult compareWithReference(const std::vector<int16_t>& decoded,
                                       const std::vector<int16_t>& reference, size_t frameSamples,
                                       int maxShift = 3);
/// Expects `r` within the bounds, with at least 95% of the reference covered.
void expectConforms(const ConformanceResult& r, double maxDiff, double rms,
                    const std::string& what);

}  // namespace ombrix::test
