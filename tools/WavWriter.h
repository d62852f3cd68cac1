#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace ombrix::tools {

/// Writes 16-bit PCM to a file or standard output, as a WAV file or as raw little-endian
/// samples. The WAV header is written first with the largest sizes and corrected at finish()
/// when the output can be repositioned (standard output cannot).
class WavWriter {
public:
    /// Opens `path` ("-" is standard output). Throws std::runtime_error when it cannot.
    WavWriter(const std::string& path, bool raw);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    /// Appends samples; the first call fixes the format. False once a write has failed.
    bool write(int channels, int rate, const int16_t* samples, size_t count);
    /// Completes the header. False when anything could not be written.
    bool finish();

private:
    void writeHeader(uint32_t dataBytes);

    std::FILE* file_ = nullptr;
    bool ownsFile_ = false;
    bool raw_;
    bool headerWritten_ = false;
    bool failed_ = false;
    int channels_ = 2;
    int rate_ = 44100;
    uint64_t dataBytes_ = 0;
};

}  // namespace ombrix::tools
