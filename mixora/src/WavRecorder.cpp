#include "WavRecorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Limits.h"

namespace mixora {

namespace {

constexpr uint32_t kHeaderBytes = 44;
// Largest data size whose RIFF size (data + 36) still fits 32 bits, kept frame-aligned.
constexpr uint32_t kMaxDataBytes = 0xFFFFFFFFu - kHeaderBytes - 3;

void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

bool pwriteAll(int fd, const uint8_t* data, size_t size, off_t offset) noexcept {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

}  // namespace

WavRecorder::WavRecorder(const std::string& path, int sampleRate, int channels)
    : rate_(clampSampleRate(sampleRate)), channels_(channels == 1 ? 1 : 2) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) throw RecorderError("cannot create " + path + ": " + std::strerror(errno));
    if (!writeHeader()) {
        ::close(fd_);
        fd_ = -1;
        throw RecorderError("cannot write " + path);
    }
}

WavRecorder::~WavRecorder() {
    finish();
}

bool WavRecorder::writeHeader() noexcept {
    std::array<uint8_t, kHeaderBytes> h{};
    std::memcpy(&h[0], "RIFF", 4);
    put32(&h[4], 36 + dataBytes_);
    std::memcpy(&h[8], "WAVEfmt ", 8);
    put32(&h[16], 16);
    put16(&h[20], 1);  // integer PCM
    put16(&h[22], static_cast<uint32_t>(channels_));
    put32(&h[24], static_cast<uint32_t>(rate_));
    put32(&h[28], static_cast<uint32_t>(rate_ * channels_ * 2));
    put16(&h[32], static_cast<uint32_t>(channels_ * 2));
    put16(&h[34], 16);
    std::memcpy(&h[36], "data", 4);
    put32(&h[40], dataBytes_);
    return pwriteAll(fd_, h.data(), h.size(), 0);
}

bool WavRecorder::updateSizes() noexcept {
    std::array<uint8_t, 4> v{};
    put32(v.data(), 36 + dataBytes_);
    if (!pwriteAll(fd_, v.data(), 4, 4)) return false;
    put32(v.data(), dataBytes_);
    return pwriteAll(fd_, v.data(), 4, 40);
}

bool WavRecorder::writeAll(const uint8_t* data, size_t size) noexcept {
    if (!pwriteAll(fd_, data, size, static_cast<off_t>(kHeaderBytes) + dataBytes_)) return false;
    dataBytes_ += static_cast<uint32_t>(size);
    return true;
}

void WavRecorder::append(const int16_t* samples, int frames, int channels,
                         int sampleRate) noexcept {
    if (fd_ < 0 || failed_ || frames <= 0) return;
    if (!formatFixed_) {
        formatFixed_ = true;
        if (dataBytes_ == 0 && (channels != channels_ || clampSampleRate(sampleRate) != rate_)) {
            channels_ = channels == 1 ? 1 : 2;
            rate_ = clampSampleRate(sampleRate);
            if (!writeHeader()) {
                failed_ = true;
                return;
            }
        }
    }
    const size_t frameBytes = static_cast<size_t>(channels_) * 2;
    const size_t framesPerChunk = buffer_.size() / frameBytes;
    int done = 0;
    while (done < frames) {
        const size_t room = (kMaxDataBytes - dataBytes_) / frameBytes;
        const size_t count = std::min({framesPerChunk, static_cast<size_t>(frames - done), room});
        if (count == 0) break;  // full: the WAV format cannot grow further
        uint8_t* out = buffer_.data();
        for (size_t i = 0; i < count; ++i) {
            const int16_t* in = samples + (static_cast<size_t>(done) + i) * channels;
            int16_t l = in[0];
            int16_t r = channels == 2 ? in[1] : l;
            if (channels_ == 1) {
                put16(out, static_cast<uint16_t>(static_cast<int16_t>((l + r) / 2)));
                out += 2;
            } else {
                put16(out, static_cast<uint16_t>(l));
                put16(out + 2, static_cast<uint16_t>(r));
                out += 4;
            }
        }
        if (!writeAll(buffer_.data(), count * frameBytes)) {
            failed_ = true;
            break;
        }
        done += static_cast<int>(count);
    }
    if (!updateSizes()) failed_ = true;
}

void WavRecorder::finish() noexcept {
    if (fd_ < 0) return;
    updateSizes();
    ::close(fd_);
    fd_ = -1;
}

}  // namespace mixora
