#include "WavWriter.h"

#include <bit>
#include <stdexcept>
#include <vector>

namespace ombrix::tools {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

WavWriter::WavWriter(const std::string& path, bool raw) : raw_(raw) {
    if (path == "-") {
        file_ = stdout;
    } else {
        file_ = std::fopen(path.c_str(), "wb");
        ownsFile_ = true;
    }
    if (!file_) throw std::runtime_error("cannot write " + path);
}

WavWriter::~WavWriter() {
    if (ownsFile_ && file_) std::fclose(file_);
}

void WavWriter::writeHeader(uint32_t dataBytes) {
    std::vector<uint8_t> h;
    h.insert(h.end(), {'R', 'I', 'F', 'F'});
    put32(h, dataBytes > 0xFFFFFFFFu - 36 ? 0xFFFFFFFFu : dataBytes + 36);
    h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(h, 16);
    put16(h, 1);
    put16(h, static_cast<uint32_t>(channels_));
    put32(h, static_cast<uint32_t>(rate_));
    put32(h, static_cast<uint32_t>(rate_ * channels_ * 2));
    put16(h, static_cast<uint32_t>(channels_ * 2));
    put16(h, 16);
    h.insert(h.end(), {'d', 'a', 't', 'a'});
    put32(h, dataBytes);
    if (std::fwrite(h.data(), 1, h.size(), file_) != h.size()) failed_ = true;
}

bool WavWriter::write(int channels, int rate, const int16_t* samples, size_t count) {
    if (failed_) return false;
    if (!headerWritten_) {
        channels_ = channels;
        rate_ = rate;
        if (!raw_) writeHeader(0xFFFFFFFFu - 36);
        headerWritten_ = true;
    }
    // Samples are little-endian in the file whatever the machine; on a little-endian machine
    // they are written as they are.
    const size_t size = count * 2;
    if constexpr (std::endian::native == std::endian::little) {
        if (std::fwrite(samples, 1, size, file_) != size) failed_ = true;
    } else {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < count; ++i) {
            const auto v = static_cast<uint16_t>(samples[i]);
            bytes[2 * i] = static_cast<uint8_t>(v);
            bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
        }
        if (std::fwrite(bytes.data(), 1, size, file_) != size) failed_ = true;
    }
    dataBytes_ += size;
    return !failed_;
}

bool WavWriter::finish() {
    if (!headerWritten_ && !raw_) {
        writeHeader(0);
        headerWritten_ = true;
    } else if (!raw_ && ownsFile_ && !failed_) {
        if (std::fseek(file_, 0, SEEK_SET) == 0) {
            writeHeader(static_cast<uint32_t>(std::min<uint64_t>(dataBytes_, 0xFFFFFFFFu - 36)));
        }
    }
    if (std::fflush(file_) != 0) failed_ = true;
    return !failed_;
}

}  // namespace ombrix::tools
