#pragma once

#include <array>

#include "Biquad.h"
#include "SmoothedValue.h"

namespace mixora {

/// A ten-band graphic equaliser on octave centres from 31 Hz to 16 kHz: one peaking section per
/// band and channel, in series.
///
/// Gains move over 20 ms and the sections' coefficients follow them every 32 frames, so a
/// slider pulled across its whole range does not click. A band that has rested at 0 dB long
/// enough for its filter's memory to die away is skipped, and with every band resting the
/// equaliser is inactive: the caller can then leave the samples alone, bit for bit.
///
/// Headroom: the output is lowered by the peak of the whole curve (one band at +9 dB means
/// -9 dB; neighbouring raised bands add up, so the peak is measured on the combined response,
/// every sixth of an octave), so a full-scale passage stays about full scale wherever the curve
/// peaks instead of being clipped at the 16-bit conversion. This keeps the equaliser linear; a
/// saturating stage would distort every loud passage of a modern record whenever a band is
/// raised. Cuts need no headroom and leave the level alone. When a boost falls, the pre-gain
/// returns at 48 dB a second, slower than the section's ringing dies away.
///
/// Thread affinity: one thread (the audio thread).
class OctaveEqualizer {
public:
    static constexpr int kBands = 10;
    static constexpr std::array<double, kBands> kCentresHz{31.25, 62.5,   125.0,  250.0,  500.0,
                                                           1000.0, 2000.0, 4000.0, 8000.0, 16000.0};
    static constexpr float kMinGainDb = -12.0f;
    static constexpr float kMaxGainDb = 12.0f;
    /// One octave between the half-gain points.
    static constexpr double kQ = 1.4142135623730951;
    /// Bands centred above this share of the sample rate are left out: the stream holds
    /// nothing there, and a section squeezed below half the rate would act on the band below.
    static constexpr double kHighestCentreShare = 0.45;
    /// Frames between coefficient updates while gains move.
    static constexpr int kUpdateFrames = 32;

    explicit OctaveEqualizer(int sampleRate = 44100);

    /// Changes the rate the sections are designed for; their memory is dropped.
    void setSampleRate(int hz) noexcept;
    /// Where each band's gain should move, in dB (clamped to -12..+12; 0 is flat).
    void setGains(const std::array<float, kBands>& gainsDb) noexcept;
    /// False while every band rests at 0 dB: process() would change nothing.
    bool isActive() const noexcept { return active_; }
    /// Whether band @p band is centred low enough for the current rate.
    bool bandUsable(int band) const noexcept { return band >= 0 && band < kBands && usable_[band]; }

    /// Filters @p frames samples in place; @p right is null for a mono stream.
    void process(float* left, float* right, int frames) noexcept;
    /// Drops every section's memory and sets the gains to their targets at once.
    void reset() noexcept;

private:
    struct Band {
        std::array<Biquad, 2> sections;  // left, right
        SmoothedValue gainDb;
        float designedDb = 0.0f;  // the gain the coefficients were computed for
        int restingFrames = 0;    // frames spent at 0 dB since the last change
        bool running = false;
    };

    void design(Band& band, int index) noexcept;
    /// 1 / the largest gain of the combined response, or 1 when nothing rises above 0 dB.
    float headroomGain() const noexcept;
    /// Moves the gains by @p frames and refreshes the coefficients; returns the pre-gain that
    /// goes with the new gains.
    float advance(int frames) noexcept;
    void updateActivity() noexcept;

    int rate_;
    int restFrames_;  // how long a band rests at 0 dB before it is skipped
    std::array<Band, kBands> bands_;
    std::array<bool, kBands> usable_{};
    /// cos(w) and cos(2w) of the frequencies the curve's peak is looked for at.
    static constexpr int kProbes = 66;
    std::array<double, kProbes> probeCos_{};
    std::array<double, kProbes> probeCos2_{};
    int probes_ = 0;
    float preGain_ = 1.0f;   // the pre-gain in use
    float headroom_ = 1.0f;  // the pre-gain the current curve asks for
    /// Natural log of the pre-gain's largest rise per frame: 48 dB a second.
    float releasePerFrame_ = 0.0f;
    bool active_ = false;
};

}  // namespace mixora
