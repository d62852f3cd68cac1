#pragma once

#include "ombrix/effects/EqualizerSink.h"

namespace ombrix {

/**
 * @brief The program's equaliser sink: the decoder library's own subband equaliser
 *        (OmbrixSetEQ) and the effects engine's octave equaliser (XMSetOctaveEQ).
 *
 * Thread affinity: main thread (the decoder reads the gains on its playback thread once per
 * granule, the engine once per block). Nothing throws.
 */
class DecoderEqualizer final : public EqualizerSink {
public:
    void setBand(int band, float gain) noexcept override;
    void setOctaveGain(int band, float gainDb) noexcept override;
};

}  // namespace ombrix
