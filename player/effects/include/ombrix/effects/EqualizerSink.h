#pragma once

namespace ombrix {

/**
 * @brief Where the equaliser curve goes: one gain per decoder band.
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
};

}  // namespace ombrix
