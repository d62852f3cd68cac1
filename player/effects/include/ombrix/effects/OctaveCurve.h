#pragma once

#include <QString>
#include <array>

namespace ombrix {

class EqualizerSink;
class IniDocument;

/**
 * @brief The ten octave bands of the effects engine's equaliser (31 Hz .. 16 kHz) and their
 *        gains in whole decibels, -12..+12, 0 being flat.
 *
 * Kept in the main settings file next to the subband sliders, section "feq", keys "eqband0"
 * .. "eqband9".
 * Thread affinity: one thread at a time. Nothing throws.
 */
class OctaveCurve {
public:
    static constexpr int kBands = 10;
    static constexpr int kMinDb = -12;
    static constexpr int kMaxDb = 12;

    /// The settings key of band @p band (0..9): "eqband" + band.
    static QString keyFor(int band);
    /// The centre of band @p band as printed under its slider: "31", "62", ..., "1k", "16k".
    static QString label(int band);

    /// Gain of band @p band (0..9); 0 for other numbers.
    int gainDb(int band) const noexcept;
    /// Sets band @p band (0..9) to @p db, clamped to -12..+12; other bands are ignored.
    void setGainDb(int band, int db) noexcept;
    void reset() noexcept { gains_.fill(0); }
    bool isFlat() const noexcept;

    /// Sends every band's gain (10 calls).
    void send(EqualizerSink& sink) const noexcept;
    /// The gains stored in section "feq" (0 for a missing or unreadable key, clamped).
    void read(const IniDocument& ini) noexcept;
    void write(IniDocument& ini) const;

private:
    std::array<int, kBands> gains_{};
};

}  // namespace ombrix
