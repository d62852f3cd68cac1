#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace mixora {

/// A recording that cannot be started.
class RecorderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Writes a 16-bit PCM WAV file block by block. The header is valid from the start and its sizes
/// are brought up to date after every block, and data goes straight to the file descriptor
/// without user-space buffering: if the program dies without finish(), everything appended so
/// far is a readable WAV file.
///
/// The format (rate and channels) is taken from the first block; later blocks with another
/// channel count are converted to it (mono is duplicated, stereo averaged); blocks at another
/// rate are written as they come (a WAV file has one rate). A recording stops growing just below
/// the format's 4 GiB limit.
///
/// Thread affinity: construction and finish on any thread; append on one thread at a time (the
/// audio thread). The owner makes sure append and finish do not overlap.
class WavRecorder {
public:
    /// Creates or truncates the file. Throws RecorderError.
    WavRecorder(const std::string& path, int sampleRate, int channels);
    ~WavRecorder();
    WavRecorder(const WavRecorder&) = delete;
    WavRecorder& operator=(const WavRecorder&) = delete;

    /// Appends frames of interleaved 16-bit samples. Never throws; a write error stops the
    /// recording (what was written stays valid).
    void append(const int16_t* samples, int frames, int channels, int sampleRate) noexcept;
    /// Brings the header up to date and closes the file. Idempotent.
    void finish() noexcept;

    uint32_t dataBytes() const noexcept { return dataBytes_; }
    int channels() const noexcept { return channels_; }
    int sampleRate() const noexcept { return rate_; }
    bool failed() const noexcept { return failed_; }

private:
    bool writeHeader() noexcept;
    bool updateSizes() noexcept;
    bool writeAll(const uint8_t* data, size_t size) noexcept;

    int fd_ = -1;
    int rate_;
    int channels_;
    bool formatFixed_ = false;
    bool failed_ = false;
    uint32_t dataBytes_ = 0;
    std::array<uint8_t, 8192> buffer_{};
};

}  // namespace mixora
