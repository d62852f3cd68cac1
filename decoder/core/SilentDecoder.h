#pragma once

#include "core/FrameDecoder.h"

namespace ombrix::mp3 {

/// Produces a frame's worth of silence for every frame: keeps blocks, positions and timing right
/// for a stream whose layer has no decoder.
class SilentDecoder final : public FrameDecoder {
public:
    explicit SilentDecoder(const DecoderContext& context) : context_(context) {}
    void decodeFrame(Crc16* crc) override;
    void reset() override {}

private:
    DecoderContext context_;
};

}  // namespace ombrix::mp3
