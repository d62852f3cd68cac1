#pragma once

namespace ombrix {

/**
 * @brief Where the equaliser curves go: one gain per decoder subband, and one per octave band
 *        of the effects engine.
 *
 * Thread affinity: main thread. Nothing throws.
 */
class EqualizerSink {
public:
    EqualizerSink() = default;
    virtual ~EqualizerSink() = default;
    EqualizerSink(const EqualizerSink&) = delete;
    EqualizerSink& operator=(const EqualizerSink&) = delete;

    /// Sets the linear gain of decoder band @p band (0..31).
    virtual void setBand(int band, float gain) noexcept = 0;
    /// Sets the gain of octave band @p band (0..9, 31 Hz .. 16 kHz) in dB, -12..+12.
    virtual void setOctaveGain(int band, float gainDb) noexcept = 0;
};

}  // namespace ombrix
