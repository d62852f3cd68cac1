#pragma once

#include <array>
#include <memory>

namespace ombrix::mp3 {

class Crc16;
class DecoderSettings;
class FrameReader;
class SubbandSynthesizer;
class WaveOutput;
struct FrameHeader;

/// What a layer decoder works with during one playback.
struct DecoderContext {
    FrameReader& reader;
    FrameHeader& header;
    std::array<SubbandSynthesizer*, 2> synth;  ///< synth[1] is null for single-channel streams
    WaveOutput& output;
    const DecoderSettings& settings;
};

/// Decodes the frame in hand into the synthesizers and flushes the output when the frame
/// produced samples. Thread affinity: the playback thread.
class FrameDecoder {
public:
    virtual ~FrameDecoder() = default;
    /// `crc` is the header's CRC register when the frame carries a CRC, else null.
    virtual void decodeFrame(Crc16* crc) = 0;
    /// Forgets everything carried from frame to frame (after a seek).
    virtual void reset() = 0;
};

/// The decoder of Layer III streams.
std::unique_ptr<FrameDecoder> createLayer3Decoder(const DecoderContext& context);
/// The decoder of Layer I and Layer II streams.
std::unique_ptr<FrameDecoder> createLayer12Decoder(const DecoderContext& context);

}  // namespace ombrix::mp3
