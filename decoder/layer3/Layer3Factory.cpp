#include "core/FrameDecoder.h"
#include "layer3/Layer3Decoder.h"

namespace ombrix::mp3 {

std::unique_ptr<FrameDecoder> createLayer3Decoder(const DecoderContext& context) {
    return std::make_unique<Layer3Decoder>(context);
}

}  // namespace ombrix::mp3
