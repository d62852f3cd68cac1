#include "OctaveEqualizer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Limits.h"

namespace mixora {

namespace {
// Gains take four times the engine's usual 5 ms: a band sweeping 24 dB at 31 Hz moves within
// a period of its own frequency, which is heard as a thump when it is shorter.
int gainRampFrames(int rate) {
    return std::max(1, rate / 50);
}
}  // namespace

OctaveEqualizer::OctaveEqualizer(int sampleRate) : rate_(0), restFrames_(1) {
    setSampleRate(sampleRate);
}

void OctaveEqualizer::setSampleRate(int hz) noexcept {
    rate_ = clampSampleRate(hz);
    // The slowest section (31 Hz, Q 1.41) loses 1/e of its memory in about 15 ms; a quarter of
    // a second leaves nothing a 16-bit sample could show.
    restFrames_ = std::max(1, rate_ / 4);
    releasePerFrame_ = static_cast<float>(48.0 / 20.0 * std::numbers::ln10 / rate_);
    // Sixth-octave steps from 15.6 Hz, below half the rate.
    probes_ = 0;
    for (int i = 0; i < kProbes; ++i) {
        const double hz = 15.625 * std::exp2(i / 6.0);
        if (hz >= 0.49 * rate_) break;
        const double w = 2.0 * std::numbers::pi * hz / rate_;
        probeCos_[probes_] = std::cos(w);
        probeCos2_[probes_] = std::cos(2.0 * w);
        ++probes_;
    }
    for (int k = 0; k < kBands; ++k) {
        usable_[k] = kCentresHz[k] < kHighestCentreShare * rate_;
        Band& band = bands_[k];
        band.gainDb.setRampLength(gainRampFrames(rate_));
        if (!usable_[k]) band.gainDb.jumpTo(0.0f);
        for (auto& section : band.sections) section.reset();
        design(band, k);
        band.running = usable_[k] && band.gainDb.current() != 0.0f;
        band.restingFrames = 0;
    }
    preGain_ = headroom_ = headroomGain();
    updateActivity();
}

void OctaveEqualizer::setGains(const std::array<float, kBands>& gainsDb) noexcept {
    for (int k = 0; k < kBands; ++k) {
        float target = gainsDb[k];
        if (!std::isfinite(target) || !usable_[k]) target = 0.0f;
        bands_[k].gainDb.setTarget(std::clamp(target, kMinGainDb, kMaxGainDb));
    }
    updateActivity();
}

void OctaveEqualizer::reset() noexcept {
    for (int k = 0; k < kBands; ++k) {
        Band& band = bands_[k];
        band.gainDb.jumpTo(band.gainDb.target());
        for (auto& section : band.sections) section.reset();
        design(band, k);
        band.running = band.gainDb.current() != 0.0f;
        band.restingFrames = 0;
    }
    preGain_ = headroom_ = headroomGain();
    updateActivity();
}

void OctaveEqualizer::design(Band& band, int index) noexcept {
    const float gain = band.gainDb.current();
    band.designedDb = gain;
    if (!usable_[index]) return;
    for (auto& section : band.sections) section.setPeaking(kCentresHz[index], kQ, gain, rate_);
}

float OctaveEqualizer::headroomGain() const noexcept {
    bool raised = false;
    for (const Band& band : bands_) raised = raised || band.designedDb > 0.0f;
    if (!raised) return 1.0f;
    double peak = 1.0;
    for (int i = 0; i < probes_; ++i) {
        double power = 1.0;
        for (int k = 0; k < kBands; ++k)
            if (usable_[k] && bands_[k].designedDb != 0.0f)
                power *= bands_[k].sections[0].powerGainAt(probeCos_[i], probeCos2_[i]);
        peak = std::max(peak, power);
    }
    return static_cast<float>(1.0 / std::sqrt(peak));
}

float OctaveEqualizer::advance(int frames) noexcept {
    bool moved = false;
    for (int k = 0; k < kBands; ++k) {
        Band& band = bands_[k];
        band.gainDb.skip(frames);
        const float gain = band.gainDb.current();
        if (gain != band.designedDb) {
            design(band, k);
            moved = true;
        }
        if (gain != 0.0f || band.gainDb.isSmoothing()) {
            band.running = true;
            band.restingFrames = 0;
        } else if (band.running) {
            // At 0 dB the section passes its input, but what it still remembers of the curve
            // before fades out only slowly; it is skipped once that has gone.
            band.restingFrames += frames;
            if (band.restingFrames >= restFrames_) {
                band.running = false;
                for (auto& section : band.sections) section.reset();
            }
        }
    }
    if (moved) headroom_ = headroomGain();
    return headroom_;
}

void OctaveEqualizer::process(float* left, float* right, int frames) noexcept {
    if (left == nullptr) return;
    for (int done = 0; done < frames;) {
        const int n = std::min(kUpdateFrames, frames - done);
        const float from = preGain_;
        // The pre-gain drops as fast as the curve rises, but comes back up slowly: a falling
        // boost leaves the section ringing for a while, and catching up at once would let
        // that ring out louder than before.
        const float target = advance(n);
        const float to = target <= from
                             ? target
                             : std::min(target, from * std::exp(releasePerFrame_ * static_cast<float>(n)));
        float* l = left + done;
        float* r = right ? right + done : nullptr;
        for (Band& band : bands_) {
            if (!band.running) continue;
            for (int i = 0; i < n; ++i) l[i] = band.sections[0].process(l[i]);
            if (r)
                for (int i = 0; i < n; ++i) r[i] = band.sections[1].process(r[i]);
        }
        if (from != 1.0f || to != 1.0f) {
            // The pre-gain glides across the segment rather than stepping at its start.
            const float step = (to - from) / static_cast<float>(n);
            for (int i = 0; i < n; ++i) {
                const float g = from + step * static_cast<float>(i + 1);
                l[i] *= g;
                if (r) r[i] *= g;
            }
        }
        preGain_ = to;
        done += n;
    }
    updateActivity();
}

void OctaveEqualizer::updateActivity() noexcept {
    bool active = preGain_ != 1.0f;
    for (const Band& band : bands_)
        active = active || band.running || band.gainDb.isSmoothing() || band.gainDb.target() != 0.0f;
    active_ = active;
}

}  // namespace mixora
