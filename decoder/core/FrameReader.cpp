#include "core/FrameReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/SaturatingCast.h"

namespace ombrix::mp3 {

namespace {

// The first frame's header, the longest side information, the Xing fields and the LAME tag.
constexpr size_t kXingProbeBytes = 4 + 32 + 120 + EncoderGap::kTagBytes;
constexpr uint32_t kLockMask = 0x0CF8FF;  // sync, version and sampling bits of b0..b2
// Header bits that stay the same through a stream: sync, version, layer, protection, sampling
// frequency and channel mode. Bit rate, padding and the joint-stereo mode extension change from
// frame to frame, so a match on them would pass over most real frames.
constexpr uint32_t kSeekMatchMask = 0xC00CFFFF;

uint32_t bigEndian32(const uint8_t* p) noexcept {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

uint32_t storedOrder32(const uint8_t* p) noexcept {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// CRC-16 with the polynomial 0x8005 in its reflected form, starting at 0: the sum the LAME tag
// stores over the frame's bytes before it.
uint16_t tagCrc(const uint8_t* data, size_t size) noexcept {
    uint16_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

}  // namespace

std::optional<EncoderGap> EncoderGap::parse(const uint8_t* frame, size_t size,
                                            size_t tag) noexcept {
    if (tag > size || size - tag < kTagBytes) return std::nullopt;
    const uint8_t* t = frame + tag;
    const bool known = std::memcmp(t, "LAME", 4) == 0 || std::memcmp(t, "Lavc", 4) == 0 ||
                       std::memcmp(t, "Lavf", 4) == 0;
    if (!known) return std::nullopt;
    const uint16_t stored = static_cast<uint16_t>((t[34] << 8) | t[35]);
    if (stored != 0 && stored != tagCrc(frame, tag + 34)) return std::nullopt;
    EncoderGap gap;
    gap.delay = (t[21] << 4) | (t[22] >> 4);
    gap.padding = ((t[22] & 0x0F) << 8) | t[23];
    return gap;
}

void PaddingTable::record(int32_t n, int padding) {
    if (n < 0 || static_cast<size_t>(n) != recorded_) return;  // only frames reached in order
    const uint32_t before = n == 0 ? 0 : entries_[static_cast<size_t>(n) - 1];
    if (recorded_ == entries_.size()) entries_.push_back(0);
    entries_[recorded_++] = before + static_cast<uint32_t>(padding);
}

bool XingInfo::parse(const uint8_t* data, size_t size, XingInfo& info) noexcept {
    if (size < 4) return false;
    const bool mpeg1 = (data[1] & 0x08) != 0;
    const bool mono = data[3] >= 192;
    size_t pos = mpeg1 ? (mono ? 21 : 36) : (mono ? 13 : 21);
    auto take32 = [&](int32_t& out) {
        if (pos + 4 > size) return false;
        out = static_cast<int32_t>(bigEndian32(data + pos));
        pos += 4;
        return true;
    };
    if (pos + 8 > size ||
        (std::memcmp(data + pos, "Xing", 4) != 0 && std::memcmp(data + pos, "Info", 4) != 0))
        return false;
    pos += 4;
    XingInfo result;
    int32_t flags = 0;
    take32(flags);
    result.flags = static_cast<uint32_t>(flags);
    if ((result.flags & kFrames) && !take32(result.frames)) return false;
    if ((result.flags & kBytes) && !take32(result.bytes)) return false;
    if (result.flags & kToc) {
        if (pos + 100 > size) return false;
        std::memcpy(result.toc.data(), data + pos, 100);
        pos += 100;
    }
    if ((result.flags & kQuality) && !take32(result.quality)) return false;
    result.gap = EncoderGap::parse(data, size, pos);
    info = result;
    return true;
}

FrameReader::FrameReader(const std::string& fileName, int32_t startOffset)
    : startOffset_(std::max<int32_t>(startOffset, 0)), readBuffer_(kReadBufferSize) {
    file_.reset(std::fopen(fileName.c_str(), "rb"));
    if (!file_) return;
    if (std::fseek(file_.get(), 0, SEEK_END) == 0) {
        const long size = std::ftell(file_.get());
        fileSize_ = size > 0 ? static_cast<uint32_t>(std::min<long>(size, UINT32_MAX)) : 0;
    }
    std::array<uint8_t, kXingProbeBytes> probe{};
    size_t got = 0;
    if (positionFile(static_cast<uint64_t>(startOffset_))) {
        got = std::fread(probe.data(), 1, probe.size(), file_.get());
    }
    if (got >= 4) std::memcpy(firstWord_.data(), probe.data(), 4);
    hasXing_ = XingInfo::parse(probe.data(), got, xing_);
    positionFile(static_cast<uint64_t>(startOffset_));
}

FrameReader::~FrameReader() = default;

bool FrameReader::positionFile(uint64_t position) {
    remaining_ = 0;
    validBytes_ = 0;
    if (!file_ || position > static_cast<uint64_t>(LONG_MAX)) return false;
    if (std::fseek(file_.get(), static_cast<long>(position), SEEK_SET) != 0) return false;
    filePos_ = position;
    return true;
}

bool FrameReader::readBytes(uint8_t* out, size_t count) {
    if (!file_) return false;
    while (count > 0) {
        if (remaining_ == 0) {
            const size_t got = std::fread(readBuffer_.data(), 1, kReadBufferSize, file_.get());
            if (got == 0) return false;
            if (got < kReadBufferSize) {
                std::memmove(readBuffer_.data() + (kReadBufferSize - got), readBuffer_.data(), got);
            }
            filePos_ += got;
            remaining_ = got;
            validBytes_ = got;
        }
        const size_t n = std::min(count, remaining_);
        std::memcpy(out, readBuffer_.data() + (kReadBufferSize - remaining_), n);
        remaining_ -= n;
        out += n;
        count -= n;
    }
    return true;
}

void FrameReader::stepBack(size_t count) {
    // Only the bytes of the last read are known to be the file's; anything further back is
    // read again from the file.
    if (remaining_ + count > validBytes_) {
        const uint64_t logical = filePos_ - remaining_;
        positionFile(logical >= count ? logical - count : 0);
        return;
    }
    remaining_ += count;
}

bool FrameReader::accepts(const uint8_t* b, const FrameHeader& header) const noexcept {
    if (!header.locked) return b[0] == 0xFF && (b[1] & 0xF0) == 0xF0;
    const uint32_t candidate = uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16);
    if ((candidate & kLockMask) != lockPattern_) return false;
    return ((b[3] >> 6) == FrameHeader::kSingleChannel) == lockMono_;
}

bool FrameReader::syncToHeader(FrameHeader& header, uint32_t& word) {
    uint8_t b[4];
    for (;;) {
        if (!readBytes(b, 4)) return false;
        if (accepts(b, header)) {
            word = bigEndian32(b);
            // Free-format, reserved bit-rate, layer or sampling-frequency headers cannot be read
            // as frames: they are treated like any other noise.
            FrameHeader decoded = header;
            if (decoded.decode(word) && decoded.payloadLength <= kPayloadSize) {
                header = std::move(decoded);
                return true;
            }
        }
        stepBack(3);
    }
}

bool FrameReader::readFrame(FrameHeader& header, Crc16*& crc) {
    crc = nullptr;
    uint32_t word = 0;
    if (!syncToHeader(header, word)) return false;

    if (frameIndex_ < INT32_MAX) ++frameIndex_;  // a claimed frame count can put it near the limit
    if (indexExact_ && static_cast<size_t>(frameIndex_) == frameStarts_.size()) {
        const uint64_t at = filePos_ - remaining_ - 4;
        if (at <= UINT32_MAX) frameStarts_.push_back(static_cast<uint32_t>(at));
    }
    const bool firstTime = frameIndex_ > highestFrameIndex_;
    if (firstTime) highestFrameIndex_ = frameIndex_;

    if (!header.locked) {
        lockPattern_ =
            ((word >> 24) | (((word >> 16) & 0xFF) << 8) | (((word >> 8) & 0xFF) << 16)) &
            kLockMask;
        lockMono_ = header.mode == FrameHeader::kSingleChannel;
        header.locked = true;
    }

    const uint32_t length = header.payloadLength;
    if (!readBytes(payload_.data(), length)) return false;
    std::fill(payload_.begin() + length, payload_.end(), uint8_t{0});
    lastPayloadLength_ = length;
    if (firstPayloadLength_ == 0) firstPayloadLength_ = length;
    bitPos_ = 0;

    if (header.protectionAbsent == 0) {
        header.storedCrc = static_cast<uint16_t>(getBits(16));
        if (!header.crcRegister) header.crcRegister.emplace();
        // Each protected frame starts a fresh check, so frames read without being decoded
        // (while seeking) cannot spoil the next comparison.
        header.crcRegister->reset();
        header.crcRegister->feed(word & 0xFFFF, 16);
        crc = &*header.crcRegister;
    }

    if (header.samplingIndex == 0) {
        if (!paddingTable_) {
            const uint32_t unpadded = header.payloadLength - header.padding + 4;
            paddingTable_ = std::make_unique<PaddingTable>(unpadded ? fileSize_ / unpadded : 0);
        }
        if (firstTime) paddingTable_->record(frameIndex_, header.padding);
    }
    return true;
}

uint32_t FrameReader::getBits(int n) noexcept {
    const uint32_t byte = bitPos_ >> 3;
    const int shift = static_cast<int>(bitPos_ & 7);
    bitPos_ += static_cast<uint32_t>(n);
    if (n <= 0 || byte >= lastPayloadLength_) return 0;
    // The payload array carries 8 zeroed bytes of slack past the payload.
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | payload_[byte + static_cast<uint32_t>(i)];
    v <<= shift;
    return static_cast<uint32_t>(v >> (64 - n));
}

bool FrameReader::seekToFrame(FrameHeader& header, int32_t n) {
    if (n < 0) n = 0;
    const uint64_t start = static_cast<uint64_t>(startOffset_);
    if (header.samplingIndex != 0 || !paddingTable_) {
        // Frames of one length are assumed: right for constant bit rates, a guess otherwise.
        indexExact_ = false;
        const uint64_t length = header.payloadLength + 4;
        if (!positionFile(start + length * static_cast<uint64_t>(n))) return false;
        frameIndex_ = n - 1;
        return readFrame(header);
    }
    const uint64_t unpadded = header.payloadLength - header.padding + 4;
    const int32_t recorded = static_cast<int32_t>(paddingTable_->recorded());
    if (n >= recorded) {
        // Not reached yet: continue from the last frame whose position is known.
        const int32_t last = recorded - 1;
        const uint64_t pos = start + unpadded * static_cast<uint64_t>(last + 1) +
                             (last >= 0 ? paddingTable_->before(last) : 0);
        if (!positionFile(pos)) return false;
        frameIndex_ = last;
        highestFrameIndex_ = std::max(highestFrameIndex_, last);
        do {
            if (!readFrame(header)) return false;
        } while (frameIndex_ < n);
        return true;
    }
    const uint64_t pos =
        start + unpadded * static_cast<uint64_t>(n) + (n > 0 ? paddingTable_->before(n - 1) : 0);
    if (!positionFile(pos)) return false;
    frameIndex_ = n - 1;
    return readFrame(header);
}

bool FrameReader::seekToFrameExactly(FrameHeader& header, int32_t n) {
    n = std::max(n, 0);
    indexExact_ = true;
    if (static_cast<size_t>(n) < frameStarts_.size()) {
        if (!positionFile(frameStarts_[static_cast<size_t>(n)])) return false;
        frameIndex_ = n - 1;
        return readFrame(header);
    }
    // Not reached yet: read on from the last frame whose start is known.
    const int32_t last = static_cast<int32_t>(frameStarts_.size()) - 1;
    if (!positionFile(last >= 0 ? frameStarts_.back() : static_cast<uint64_t>(startOffset_)))
        return false;
    frameIndex_ = last >= 0 ? last - 1 : -1;
    do {
        if (!readFrame(header)) return false;
    } while (frameIndex_ < n);
    return true;
}

bool FrameReader::seekToPercent(FrameHeader& header, float percent) {
    indexExact_ = false;
    if (std::isnan(percent)) percent = 0.0f;
    percent = std::clamp(percent, 0.0f, 100.0f);
    const int32_t target =
        saturatingInt32(std::floor(static_cast<double>(xing_.frames) * percent * 0.01));
    const int a = std::min(static_cast<int>(percent), 99);
    const float fa = xing_.toc[static_cast<size_t>(a)];
    const float fb = a < 99 ? xing_.toc[static_cast<size_t>(a) + 1] : 256.0f;
    const double span = std::max<int64_t>(int64_t{xing_.bytes} - 256, 0);
    const uint64_t offset = static_cast<uint64_t>(
        std::max(0.0, std::floor((fa + (percent - a) * (fb - fa)) * span / 256.0)));

    const uint64_t start = static_cast<uint64_t>(startOffset_);
    if (!positionFile(start + offset)) return false;
    const uint32_t wanted = storedOrder32(firstWord_.data()) & kSeekMatchMask;
    uint8_t b[4];
    for (uint64_t relative = offset; relative <= static_cast<uint64_t>(std::max(xing_.bytes, 0));
         ++relative) {
        if (!readBytes(b, 4)) return false;
        if ((storedOrder32(b) & kSeekMatchMask) == wanted) {
            stepBack(4);
            if (relative == 0 && hasXing_) {
                // Landed on the Xing frame: the first audio frame follows it.
                frameIndex_ = -1;
                return readFrame(header) && readFrame(header);
            }
            const int32_t xingFrame = hasXing_ ? 1 : 0;
            frameIndex_ = std::max(target, 0) + xingFrame - 1;
            return readFrame(header);
        }
        stepBack(3);
    }
    return false;
}

float FrameReader::msPerFrame(const FrameHeader& header) const noexcept {
    return header.samplesPerFrame() * 1000.0f / static_cast<float>(header.samplingRate());
}

int32_t FrameReader::xingFrames() const noexcept {
    return hasXing_ && (xing_.flags & XingInfo::kFrames) && xing_.frames > 0 ? xing_.frames : 0;
}

SampleSpan FrameReader::songSpan(const FrameHeader& header) const noexcept {
    const int32_t frames = xingFrames();
    if (header.layer != 3 || !xing_.gap || frames == 0) return {};
    const int64_t decoded = int64_t{frames} * header.samplesPerFrame();
    // The encoder's padding ends the source padding - 529 samples before the end of the decoded
    // stream; a padding shorter than the decoder's delay cannot reach beyond what is decoded.
    const int64_t first = int64_t{xing_.gap->delay} + kLayer3DecoderDelay;
    const int64_t end = std::min(decoded, decoded - xing_.gap->padding + kLayer3DecoderDelay);
    if (first >= end) return {};  // a tag that claims more than the stream holds
    return {first, end};
}

float FrameReader::totalMs(const FrameHeader& header) const noexcept {
    if (const SampleSpan span = songSpan(header); span.trimmed()) {
        const double ms = static_cast<double>(span.end - span.first) * 1000.0 /
                          static_cast<double>(header.samplingRate());
        return static_cast<float>(ms);
    }
    if (const int32_t frames = xingFrames()) return msPerFrame(header) * static_cast<float>(frames);
    const uint32_t unpadded = header.payloadLength - header.padding + 4;
    if (unpadded == 0) return 0.0f;
    return msPerFrame(header) * static_cast<float>(fileSize_ / unpadded);
}

int32_t FrameReader::frameCountEstimate(const FrameHeader& header) const noexcept {
    if (const SampleSpan span = songSpan(header); span.trimmed()) {
        // Whole and partial frames of the song itself, so that positions count only its samples.
        const int64_t spf = header.samplesPerFrame();
        return saturatingInt32(static_cast<double>((span.end - span.first + spf - 1) / spf));
    }
    if (const int32_t frames = xingFrames()) return frames;
    return firstPayloadLength_
               ? saturatingInt32(static_cast<double>(fileSize_ / firstPayloadLength_))
               : 0;
}

bool FrameReader::hasSeekTable() const noexcept {
    const uint32_t needed = XingInfo::kFrames | XingInfo::kBytes | XingInfo::kToc;
    return (xing_.flags & needed) == needed && xingFrames() > 0 && xing_.bytes > 0;
}

}  // namespace ombrix::mp3
