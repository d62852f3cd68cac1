#include "ombrix/effects/DecoderEqualizer.h"

#include "mixora.h"
#include "mp3.h"

namespace ombrix {

void DecoderEqualizer::setBand(int band, float gain) noexcept {
    OmbrixSetEQ(band, gain);
}

void DecoderEqualizer::setOctaveGain(int band, float gainDb) noexcept {
    XMSetOctaveEQ(band, gainDb);
    OmbrixEffectsChanged();
}

}  // namespace ombrix
