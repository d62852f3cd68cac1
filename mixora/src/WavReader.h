#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "PcmSound.h"

namespace mixora {

/// A file that is not a PCM WAV file the engine can use.
class WavError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Reads RIFF WAVE files with integer PCM data: 8-bit (unsigned), 16-bit and 24-bit, one or two
/// channels, any rate, plain or WAVE_FORMAT_EXTENSIBLE. Samples come back as 16 bits.
/// A data chunk cut short by the end of the file is read as far as it goes.
///
/// Thread affinity: stateless; any thread.
class WavReader {
public:
    /// Longest sound accepted, in frames (about 12 minutes at 44.1 kHz; 128 MiB of samples).
    static constexpr size_t kMaxFrames = size_t{1} << 25;
    /// Largest file read.
    static constexpr size_t kMaxFileBytes = size_t{256} << 20;

    /// Parses a whole file's bytes. Throws WavError.
    static PcmSound parse(std::span<const uint8_t> bytes);
    /// Reads and parses a file. Throws WavError (also for files that cannot be read).
    static PcmSound readFile(const std::string& path);
};

}  // namespace mixora
