#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/FrameHeader.h"
#include "core/FrameReader.h"
#include "output/AudioDevice.h"

namespace ombrix::mp3 {

/// One song opened for playback: its reader with the first audio frame in hand, and the part of
/// the decoded stream that is the song (its encoder delay and padding left out).
///
/// Positions are counted on the song's own timeline: sample 0 is its first kept sample, and a
/// "frame" of that timeline is samplesPerFrame() of its samples. Opening reads only the first
/// frames, so a song can be primed on one thread and played on another; after that, one thread
/// at a time.
class SongSource {
public:
    /// Opens `fileName` from `startOffset`; null when it holds no valid first frame.
    static std::unique_ptr<SongSource> open(const std::string& fileName, int32_t startOffset);

    SongSource(const SongSource&) = delete;
    SongSource& operator=(const SongSource&) = delete;

    FrameReader& reader() noexcept { return *reader_; }
    FrameHeader& header() noexcept { return header_; }
    /// The CRC register of the frame in hand when it carries a CRC, else null.
    Crc16*& crc() noexcept { return crc_; }

    /// The linear gain the song's samples are played at (its loudness levelling); 1 leaves
    /// them as decoded.
    float gain() const noexcept { return gain_; }
    void setGain(float gain) noexcept { gain_ = gain; }

    int layer() const noexcept { return layer_; }
    int samplesPerFrame() const noexcept { return samplesPerFrame_; }
    PcmFormat format() const noexcept { return format_; }
    float msPerFrame() const noexcept { return msPerFrame_; }
    const SampleSpan& span() const noexcept { return span_; }
    /// The song's length in frames of its timeline (the frame count estimate when the length is
    /// not known exactly).
    int32_t totalFrames() const noexcept { return totalFrames_; }

    /// Reads the next frame; false at the end of the file.
    bool readNext() { return reader_->readFrame(header_, crc_); }
    /// Repositions so that what is kept from now on starts at `frame` of the song's timeline.
    /// Layer III decoding starts a few frames earlier, so that the bit reservoir and the
    /// filterbanks' overlap are filled by the time the target's samples come; those frames are
    /// decoded and dropped. False when the stream cannot be positioned.
    bool seek(int32_t frame);
    /// The same to a sample of the song's timeline: what is kept starts exactly there.
    bool seekToSample(int64_t sample);

    /// The samples of the frame in hand (per channel, within the frame) that are kept: [first,
    /// end), empty when none are.
    struct Part {
        int first = 0;
        int end = 0;
        bool empty() const noexcept { return end <= first; }
    };
    Part keptPart() const noexcept;
    /// True once the frame in hand starts at or after the song's end: the rest is padding.
    bool pastEnd() const noexcept;
    /// The song's own sample at which the frame in hand starts (negative inside the delay).
    int64_t frameStart() const noexcept;

private:
    SongSource() = default;
    /// Points crc() at the register of the frame a seek put in hand.
    bool refreshCrc() noexcept;

    std::unique_ptr<FrameReader> reader_;
    FrameHeader header_;
    Crc16* crc_ = nullptr;
    int layer_ = 3;
    int samplesPerFrame_ = 1152;
    PcmFormat format_;
    float msPerFrame_ = 0.0f;
    SampleSpan span_;
    int32_t totalFrames_ = 0;
    int64_t keepFrom_ = 0;
    float gain_ = 1.0f;  // decoded sample from which samples are kept (moved by a seek)
};

/// Frames decoded ahead of a Layer III seek target and dropped: enough for main data that
/// begins up to 511 bytes back at 64 kbit/s and more, and for the filterbanks' overlap.
constexpr int32_t kLayer3SeekPreroll = 4;

}  // namespace ombrix::mp3
