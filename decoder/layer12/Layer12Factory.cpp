#include "core/FrameDecoder.h"
#include "layer12/Layer12Decoder.h"

namespace ombrix::mp3 {

std::unique_ptr<FrameDecoder> createLayer12Decoder(const DecoderContext& context) {
    return std::make_unique<Layer12Decoder>(context);
}

}  // namespace ombrix::mp3
