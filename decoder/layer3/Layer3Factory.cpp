#include "core/FrameDecoder.h"
#include "core/SilentDecoder.h"

namespace ombrix::mp3 {

std::unique_ptr<FrameDecoder> createLayer3Decoder(const DecoderContext& context) {
    return std::make_unique<SilentDecoder>(context);
}

}  // namespace ombrix::mp3
