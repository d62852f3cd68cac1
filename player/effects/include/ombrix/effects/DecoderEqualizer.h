#pragma once

#include "ombrix/effects/EqualizerSink.h"

namespace ombrix {

/**
 * @brief The program's equaliser sink: the decoder library's own equaliser (OmbrixSetEQ).
 *
 * Thread affinity: main thread (the decoder reads the gains on its playback thread, once per
 * granule). Nothing throws.
 */
class DecoderEqualizer final : public EqualizerSink {
public:
    void setBand(int band, float gain) noexcept override;
};

}  // namespace ombrix
