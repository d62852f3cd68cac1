#include "ombrix/effects/DecoderEqualizer.h"

#include "mp3.h"

namespace ombrix {

void DecoderEqualizer::setBand(int band, float gain) noexcept {
    OmbrixSetEQ(band, gain);
}

}  // namespace ombrix
