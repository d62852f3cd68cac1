#pragma once

#include <QString>

#include "ombrix/effects/EqualizerCurve.h"
#include "ombrix/effects/OctaveCurve.h"

namespace ombrix {

class EqualizerSink;
class IniDocument;

/// Which equaliser the curve is heard through.
enum class EqualizerMode {
    Subbands = 0,  ///< the decoder's sixteen sliders over its Layer III subbands
    Octaves = 1,   ///< the effects engine's ten octave bands, for every kind of media
};

/**
 * @brief The equaliser as the user left it: the chosen mode and both curves. Only the chosen
 *        curve is heard; the other one is sent flat, so the eq switch (which switches both
 *        equalisers together) acts on the chosen one alone.
 *
 * Kept in section "feq" of the main settings file: "eqmode" (0 subbands, 1 octaves), the
 * sixteen "ScrollBar" keys and "eqband0" .. "eqband9".
 * Thread affinity: one thread at a time. Nothing throws.
 */
class EqualizerSetup {
public:
    static inline const QString kModeKey = QStringLiteral("eqmode");

    EqualizerMode mode = EqualizerMode::Subbands;
    EqualizerCurve subbands;
    OctaveCurve octaves;

    /// Sends both curves: the chosen one as it is, the other flat (32 + 10 calls).
    void send(EqualizerSink& sink) const noexcept;
    /// Sends the subband curve, or 32 flat bands when octaves are chosen.
    void sendSubbands(EqualizerSink& sink) const noexcept;
    /// Sends the octave curve, or ten bands at 0 dB when subbands are chosen.
    void sendOctaves(EqualizerSink& sink) const noexcept;

    /// Mode and curves from section "feq" (an unknown mode reads as subbands).
    void read(const IniDocument& ini) noexcept;
    void write(IniDocument& ini) const;
};

}  // namespace ombrix
