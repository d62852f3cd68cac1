#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/FrameHeader.h"

namespace ombrix::mp3 {

/// The samples an encoder added around the song: `delay` before its first sample and `padding`
/// after its last, as the LAME tag records them (12 bits each).
struct EncoderGap {
    /// The tag's length: encoder string, fields and its own CRC.
    static constexpr size_t kTagBytes = 36;
    int32_t delay = 0;
    int32_t padding = 0;

    /// Reads the LAME tag at `tag` of the first frame `frame` (the frame's bytes from its
    /// header on; `size` of them are there). Accepts the tag of LAME and of libavcodec/
    /// libavformat ("LAME", "Lavc", "Lavf"); a stored tag CRC other than 0 must match the
    /// CRC-16 of the frame's bytes before it.
    static std::optional<EncoderGap> parse(const uint8_t* frame, size_t size, size_t tag) noexcept;
};

/// Contents of a Xing VBR header (or the "Info" header LAME writes into CBR files) found in the
/// first frame. Fields whose flag bit is clear are 0.
struct XingInfo {
    uint32_t flags = 0;
    int32_t frames = 0;
    int32_t bytes = 0;
    std::array<uint8_t, 100> toc{};
    int32_t quality = -1;
    /// From the LAME tag that follows the header's fields, when there is a valid one.
    std::optional<EncoderGap> gap;

    static constexpr uint32_t kFrames = 1, kBytes = 2, kToc = 4, kQuality = 8;

    /// Looks for a Xing header in the first bytes of a stream (the first frame's header and
    /// payload). Returns true and fills `info` when one is there.
    static bool parse(const uint8_t* data, size_t size, XingInfo& info) noexcept;
};

/// The decoded samples of one channel that belong to the song, counted from the first sample
/// of the first audio frame: [first, end). Untrimmed streams keep everything.
struct SampleSpan {
    static constexpr int64_t kOpenEnd = INT64_MAX;
    int64_t first = 0;
    int64_t end = kOpenEnd;

    bool trimmed() const noexcept { return first != 0 || end != kOpenEnd; }
};

/// What a Layer III decoder adds before the first sample of the source: the hybrid filterbank
/// and the polyphase synthesis together delay the output by 528 samples, plus the one sample of
/// the gapless convention (LAME's and the published players' figure).
constexpr int32_t kLayer3DecoderDelay = 529;

/// Cumulative padding bytes of frames 0..n, so that seeks in 44.1/22.05 kHz streams whose
/// padding varies land exactly on a frame. Grows when a stream holds more frames than the
/// first estimate.
class PaddingTable {
public:
    explicit PaddingTable(size_t estimatedFrames) : entries_(estimatedFrames, 0) {}
    /// Records the padding of frame n, reached for the first time in order.
    void record(int32_t n, int padding);
    /// Padding bytes of frames 0..n; n must have been recorded.
    uint32_t before(int32_t n) const noexcept { return entries_[static_cast<size_t>(n)]; }
    size_t recorded() const noexcept { return recorded_; }

private:
    std::vector<uint32_t> entries_;
    size_t recorded_ = 0;
};

/// Turns an MPEG audio file into a sequence of frames: sync, lock, header decoding, payload
/// loading, bit reading, seeking and durations. Never reads outside its buffers, whatever the
/// file holds. Thread affinity: one thread at a time (the playback thread).
class FrameReader {
public:
    static constexpr size_t kReadBufferSize = 65536;
    static constexpr size_t kPayloadSize = 1732;

    /// Opens `fileName` and remembers the start offset. Never fails by itself: a file that
    /// cannot be opened leaves a reader whose every read fails.
    FrameReader(const std::string& fileName, int32_t startOffset);
    ~FrameReader();
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;

    bool isOpen() const noexcept { return file_ != nullptr; }

    /// Finds the next header, decodes it into `header`, loads the payload, and updates the CRC
    /// register and padding table. `crc` is set to the header's register when the frame carries
    /// a CRC, else to null. False at end of file or on a rejected first header.
    bool readFrame(FrameHeader& header, Crc16*& crc);
    bool readFrame(FrameHeader& header) {
        Crc16* crc = nullptr;
        return readFrame(header, crc);
    }

    /// The next n payload bits (1..32), most significant first. Reads past the payload give 0.
    uint32_t getBits(int n) noexcept;
    /// Payload bits consumed so far.
    uint32_t bitPosition() const noexcept { return bitPos_; }
    /// The payload of the frame in hand (everything after the 4 header bytes).
    const uint8_t* payload() const noexcept { return payload_.data(); }
    uint32_t payloadLength() const noexcept { return lastPayloadLength_; }

    /// Size of the whole file, including the bytes before the start offset.
    uint32_t fileSize() const noexcept { return fileSize_; }

    /// Repositions so that frame n is the frame in hand (the Xing frame, when there is one, is
    /// frame 0).
    /// Frames not reached yet are read forward from the last known one.
    bool seekToFrame(FrameHeader& header, int32_t n);
    /// Repositions so that frame n is the frame in hand, exactly whatever the frames' lengths:
    /// frames reached before are found again where they were read, later ones are read forward
    /// to. For streams whose samples must keep their place (gapless songs).
    bool seekToFrameExactly(FrameHeader& header, int32_t n);
    /// Repositions through the Xing table of contents; the frame found there is in hand, and
    /// the Xing frame itself is passed over.
    bool seekToPercent(FrameHeader& header, float percent);
    /// True when the Xing header carries frames, bytes and a table of contents to seek with.
    bool hasSeekTable() const noexcept;

    float msPerFrame(const FrameHeader& header) const noexcept;
    float totalMs(const FrameHeader& header) const noexcept;
    int32_t frameCountEstimate(const FrameHeader& header) const noexcept;

    /// The part of the decoded stream that is the song: the LAME tag's delay and padding
    /// removed (Layer III streams with a sane tag and a Xing frame count), else all of it.
    SampleSpan songSpan(const FrameHeader& header) const noexcept;

    int32_t frameIndex() const noexcept { return frameIndex_; }
    /// The frame in hand counted among the audio frames (the Xing frame is not one).
    int32_t audioFrameIndex() const noexcept { return frameIndex_ - (hasXing_ ? 1 : 0); }
    int32_t highestFrameIndex() const noexcept { return highestFrameIndex_; }
    bool hasXing() const noexcept { return hasXing_; }
    const XingInfo& xing() const noexcept { return xing_; }

private:
    bool readBytes(uint8_t* out, size_t count);
    void stepBack(size_t count);
    bool positionFile(uint64_t position);
    bool syncToHeader(FrameHeader& header, uint32_t& word);
    /// The Xing frame count, or 0 when the stream has none to go by.
    int32_t xingFrames() const noexcept;
    bool accepts(const uint8_t* b, const FrameHeader& header) const noexcept;

    struct FileCloser {
        void operator()(std::FILE* f) const noexcept { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> file_;
    int32_t startOffset_ = 0;
    uint32_t fileSize_ = 0;
    std::vector<uint8_t> readBuffer_;
    size_t remaining_ = 0;
    size_t validBytes_ = 0;  // bytes at the end of readBuffer_ that came from the last read
    uint64_t filePos_ = 0;
    std::array<uint8_t, kPayloadSize + 8> payload_{};  // slack so 32-bit peeks stay inside
    uint32_t bitPos_ = 0;
    int32_t frameIndex_ = -1;
    int32_t highestFrameIndex_ = -1;
    uint32_t lockPattern_ = 0;
    bool lockMono_ = false;
    std::array<uint8_t, 4> firstWord_{};
    uint32_t lastPayloadLength_ = 0;
    uint32_t firstPayloadLength_ = 0;
    bool hasXing_ = false;
    XingInfo xing_;
    std::unique_ptr<PaddingTable> paddingTable_;
    // Where each frame reached in order starts, while frame indices are known to be exact (a
    // seek through the table of contents only estimates them).
    std::vector<uint32_t> frameStarts_;
    bool indexExact_ = true;
};

}  // namespace ombrix::mp3
