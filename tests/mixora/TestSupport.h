#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

namespace mixora::test {

/// A fresh folder under the system temp folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "mixora-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
inline uint32_t get32(const std::vector<uint8_t>& in, size_t at) {
    return in[at] | (in[at + 1] << 8) | (in[at + 2] << 16) |
           (static_cast<uint32_t>(in[at + 3]) << 24);
}
inline uint16_t get16(const std::vector<uint8_t>& in, size_t at) {
    return static_cast<uint16_t>(in[at] | (in[at + 1] << 8));
}

/// A PCM WAV file's bytes. Samples are given at full scale of the bit depth (8-bit as
/// -128..127, stored unsigned as the format wants).
inline std::vector<uint8_t> makeWav(int rate, int channels, int bits,
                                    const std::vector<int32_t>& samples, uint16_t formatTag = 1) {
    const uint32_t bytesPer = static_cast<uint32_t>(bits / 8);
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size()) * bytesPer;
    std::vector<uint8_t> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 36 + dataBytes + (dataBytes & 1u) + 12);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, formatTag);
    put16(out, static_cast<uint32_t>(channels));
    put32(out, static_cast<uint32_t>(rate));
    put32(out, static_cast<uint32_t>(rate * channels) * bytesPer);
    put16(out, static_cast<uint32_t>(channels) * bytesPer);
    put16(out, static_cast<uint32_t>(bits));
    // An unknown chunk with an odd size before the data, as some editors write.
    out.insert(out.end(), {'L', 'I', 'S', 'T'});
    put32(out, 3);
    out.insert(out.end(), {'a', 'b', 'c', 0});
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, dataBytes);
    for (int32_t s : samples) {
        if (bits == 8) {
            out.push_back(static_cast<uint8_t>(s + 128));
        } else if (bits == 16) {
            put16(out, static_cast<uint16_t>(s));
        } else {
            out.push_back(static_cast<uint8_t>(s));
            out.push_back(static_cast<uint8_t>(s >> 8));
            out.push_back(static_cast<uint8_t>(s >> 16));
        }
    }
    return out;
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Checks a 16-bit PCM WAV file's 44-byte header against its size and format.
inline void expectWavHeader(const std::vector<uint8_t>& b, uint16_t channels, uint32_t rate,
                            size_t dataBytes) {
    ASSERT_EQ(b.size(), 44 + dataBytes);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(get32(b, 4), b.size() - 8);
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(get16(b, 20), 1);  // PCM
    EXPECT_EQ(get16(b, 22), channels);
    EXPECT_EQ(get32(b, 24), rate);
    EXPECT_EQ(get32(b, 28), rate * channels * 2);
    EXPECT_EQ(get16(b, 32), channels * 2);
    EXPECT_EQ(get16(b, 34), 16);
    EXPECT_EQ(get32(b, 40), dataBytes);
}

/// The samples of a file checked by expectWavHeader.
inline std::vector<int16_t> wavSamples(const std::vector<uint8_t>& b) {
    std::vector<int16_t> out;
    for (size_t at = 44; at + 1 < b.size(); at += 2)
        out.push_back(static_cast<int16_t>(get16(b, at)));
    return out;
}

/// Root mean square of a float range.
inline double rms(const float* x, int n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += static_cast<double>(x[i]) * x[i];
    return n > 0 ? std::sqrt(sum / n) : 0.0;
}

}  // namespace mixora::test
