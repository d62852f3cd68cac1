// Impulse and sine tests of the four effects, driven directly as C++ classes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <tuple>
#include <vector>

#include "Delay.h"
#include "Reverb.h"
#include "Surround.h"
#include "TestSupport.h"
#include "VocalCanceller.h"

using mixora::test::rms;

namespace {

constexpr int kRate = 44100;

/// Runs an additive effect over silence long enough for its enable ramp to finish.
template <typename Effect>
void settle(Effect& effect, int frames = 2048) {
    std::vector<float> l(frames, 0.0f), r(frames, 0.0f);
    effect.process(l.data(), r.data(), frames);
}

/// Response of an additive effect to one stereo impulse of the given height.
template <typename Effect>
void impulseResponse(Effect& effect, float height, std::vector<float>& l, std::vector<float>& r) {
    std::fill(l.begin(), l.end(), 0.0f);
    std::fill(r.begin(), r.end(), 0.0f);
    l[0] = r[0] = height;
    effect.process(l.data(), r.data(), static_cast<int>(l.size()));
}

int firstAbove(const std::vector<float>& x, float threshold, int from = 0) {
    for (int i = from; i < static_cast<int>(x.size()); ++i)
        if (std::fabs(x[i]) > threshold) return i;
    return -1;
}

}  // namespace

// A delay switched on, its enable ramp finished.
std::unique_ptr<mixora::Delay> delayOf(int rate, int32_t ms, int32_t level, int32_t feed,
                                       int32_t pan = 0) {
    auto delay = std::make_unique<mixora::Delay>(rate);
    delay->setTimeMs(ms);
    delay->setLevelQ15(level);
    delay->setFeedbackQ15(feed);
    delay->setPan(pan);
    delay->setEnabled(true);
    settle(*delay);
    return delay;
}

TEST(DelayTest, EchoesArriveAtTheSetTimeWithLevelFeedbackAndPan) {
    auto delay = delayOf(kRate, 100, 16384, 16384);  // level and feedback 0.5
    std::vector<float> l(kRate / 2), r(kRate / 2);
    impulseResponse(*delay, 10000.0f, l, r);
    const int t = kRate / 10;         // 4410 samples
    EXPECT_FLOAT_EQ(l[0], 10000.0f);  // dry passes untouched
    EXPECT_EQ(firstAbove(l, 1.0f, 1), t);
    EXPECT_NEAR(l[t], 5000.0f, 1.0f);
    EXPECT_NEAR(r[t], 5000.0f, 1.0f);
    EXPECT_NEAR(l[2 * t], 2500.0f, 1.0f);
    EXPECT_NEAR(l[3 * t], 1250.0f, 1.0f);
    EXPECT_EQ(firstAbove(l, 1.0f, t + 1), 2 * t);

    // Pan: hard left, hard right, half right (the left echo at half level).
    const float full = 8000.0f * 32767.0f / 32768.0f;
    for (const auto& [pan, left, right] :
         {std::tuple{-32768, full, 0.0f}, std::tuple{32767, 0.0f, full},
          std::tuple{16384, full / 2, full}}) {
        auto panned = delayOf(kRate, 10, 32767, 0, pan);
        std::vector<float> pl(2000), pr(2000);
        impulseResponse(*panned, 8000.0f, pl, pr);
        EXPECT_NEAR(pl[kRate / 100], left, 1.0f) << pan;
        EXPECT_NEAR(pr[kRate / 100], right, 1.0f) << pan;
    }
}

TEST(DelayTest, LongestTimeFitsAt48kHzAndTimeChangesDoNotJump) {
    auto delay = delayOf(48000, 32767, 32767, 0);
    const int t = 32767 * 48;
    std::vector<float> l(t + 100), r(t + 100);
    impulseResponse(*delay, 1000.0f, l, r);
    EXPECT_EQ(firstAbove(l, 1.0f, 1), t);

    // A new time crossfades between the two taps: a steady tone never jumps by more than a
    // smooth tone's own step.
    mixora::Delay moving(kRate);
    moving.setTimeMs(50);
    moving.setLevelQ15(32767);
    moving.setEnabled(true);
    std::vector<float> tl(kRate), tr(kRate);
    for (int i = 0; i < kRate; ++i)
        tl[i] = tr[i] =
            10000.0f * static_cast<float>(std::sin(2 * std::numbers::pi * 100 * i / kRate));
    moving.process(tl.data(), tr.data(), kRate / 2);
    moving.setTimeMs(73);
    moving.process(tl.data() + kRate / 2, tr.data() + kRate / 2, kRate / 2);
    float maxStep = 0.0f;
    for (int i = kRate / 4; i < kRate; ++i)
        maxStep = std::max(maxStep, std::fabs(tl[i] - tl[i - 1]));
    EXPECT_LT(maxStep, 2.0f * 2 * 10000.0f * std::numbers::pi_v<float> * 100 / kRate + 10.0f);
}

namespace {
/// A fully wet reverb, switched on and settled.
void switchOn(mixora::Reverb& reverb, int preDelayMs, int decayMs) {
    reverb.setPreDelayMs(preDelayMs);
    reverb.setWetQ15(32767);
    reverb.setDecayMs(decayMs);
    reverb.setEnabled(true);
    settle(reverb, kRate / 5);
}

/// Milliseconds after the impulse at which the reverb tail's 10 ms energy falls 40 dB below its
/// strongest 10 ms window.
double tailTimeMs(int decayMs) {
    mixora::Reverb reverb(kRate);
    switchOn(reverb, 1, decayMs);
    std::vector<float> l(static_cast<size_t>(kRate) * (decayMs / 1000 + 2)), r(l.size());
    impulseResponse(reverb, 10000.0f, l, r);
    l[0] = 0.0f;  // only the wet part
    const int window = kRate / 100;
    std::vector<double> energy;
    for (size_t start = 0; start + window <= l.size(); start += window)
        energy.push_back(rms(l.data() + start, window));
    const double peak = *std::max_element(energy.begin(), energy.end());
    int last = 0;
    for (int w = 0; w < static_cast<int>(energy.size()); ++w)
        if (energy[w] > peak / 100.0) last = w;  // -40 dB
    return last * 10.0;
}
}  // namespace

TEST(ReverbTest, TailLengthFollowsDecay) {
    // 40 dB of a 60 dB decay take two thirds of the decay time.
    for (const int decay : {500, 2000, 4000}) {
        const double expected = decay * 40.0 / 60.0;
        EXPECT_NEAR(tailTimeMs(decay), expected, expected * 0.25) << "decay " << decay;
    }
}

TEST(ReverbTest, PreDelayHoldsTheWetSignalBackAndDrySignalStays) {
    mixora::Reverb reverb(kRate);
    switchOn(reverb, 100, 1000);  // the settling also lets the pre-delay glide to its value
    std::vector<float> l(kRate), r(kRate);
    impulseResponse(reverb, 10000.0f, l, r);
    EXPECT_FLOAT_EQ(l[0], 10000.0f);
    const int first = firstAbove(l, 0.5f, 1);
    EXPECT_GE(first, kRate / 10);
    EXPECT_LT(first, kRate / 10 + kRate * 60 / 1000);
    // The two channels differ (stereo reverb), and the tail is there.
    EXPECT_GT(rms(l.data() + kRate / 5, kRate / 5), 1.0);
    double diff = 0;
    for (int i = 0; i < kRate; ++i) diff += std::fabs(l[i] - r[i]);
    EXPECT_GT(diff, 1000.0);
}

TEST(ReverbTest, SwitchingOffFadesOutQuickly) {
    mixora::Reverb reverb(kRate);
    reverb.setWetQ15(32767);
    reverb.setDecayMs(30000);
    reverb.setEnabled(true);
    std::vector<float> l(kRate), r(kRate);
    impulseResponse(reverb, 20000.0f, l, r);
    reverb.setEnabled(false);
    std::fill(l.begin(), l.end(), 0.0f);
    std::fill(r.begin(), r.end(), 0.0f);
    reverb.process(l.data(), r.data(), kRate / 50);  // 20 ms
    EXPECT_FALSE(reverb.isActive());
    // The fade is gradual, not a cut: the tail is still heard in the first milliseconds.
    EXPECT_GT(rms(l.data(), kRate / 1000), 1.0);
    EXPECT_EQ(l[kRate / 50 - 1], 0.0f);
}

namespace {
struct KaraokeResult {
    double left;
    double right;
};
KaraokeResult karaoke(double freq, double ampL, double ampR) {
    mixora::VocalCanceller canceller(kRate);
    canceller.setEnabled(true);
    std::vector<float> l(kRate), r(kRate);
    for (int i = 0; i < kRate; ++i) {
        const double s = std::sin(2 * std::numbers::pi * freq * i / kRate);
        l[i] = static_cast<float>(ampL * s);
        r[i] = static_cast<float>(ampR * s);
    }
    canceller.process(l.data(), r.data(), kRate);
    // Skip the first half second: switch-on ramp and filter settling.
    return {rms(l.data() + kRate / 2, kRate / 2), rms(r.data() + kRate / 2, kRate / 2)};
}
}  // namespace

// A centred 1 kHz tone goes (below -60 dB), a side tone stays, a hard-panned one keeps half its
// level on both sides, and centred bass stays.
TEST(VocalCancellerTest, RemovesCentredToneKeepsSideToneAndBass) {
    const double amp = 10000.0;
    const double t = amp / std::sqrt(2.0);  // the tone's RMS
    struct Case {
        double freq, ampL, ampR, low, high;
    };
    for (const Case& c :
         {Case{1000.0, amp, amp, 0.0, t / 1000.0}, Case{1000.0, amp, -amp, t * 0.99, t * 1.01},
          Case{1000.0, amp, 0.0, t * 0.49, t * 0.51}, Case{50.0, amp, amp, t * 0.9, t * 2}}) {
        const KaraokeResult out = karaoke(c.freq, c.ampL, c.ampR);
        for (const double side : {out.left, out.right}) {
            EXPECT_GE(side, c.low) << c.freq << " Hz, " << c.ampL << "/" << c.ampR;
            EXPECT_LE(side, c.high) << c.freq << " Hz, " << c.ampL << "/" << c.ampR;
        }
    }
}

TEST(SurroundTest, KeepsMonoSumAndMonoInputWhileWideningStereo) {
    mixora::Surround surround(kRate);
    surround.setEnabled(true);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-8000.0f, 8000.0f);
    std::vector<float> l(kRate), r(kRate);
    for (int i = 0; i < kRate; ++i) {
        const float common = noise(rng);
        l[i] = common + noise(rng) * 0.5f;
        r[i] = common - noise(rng) * 0.5f;
    }
    const std::vector<float> inL = l, inR = r;
    surround.process(l.data(), r.data(), kRate);
    double inSide = 0, outSide = 0;
    for (int i = 0; i < kRate; ++i) {
        EXPECT_NEAR(l[i] + r[i], inL[i] + inR[i], 0.05f) << "frame " << i;
        inSide += std::pow(inL[i] - inR[i], 2.0);
        outSide += std::pow(l[i] - r[i], 2.0);
    }
    EXPECT_GT(outSide, inSide * 1.3);  // wider

    mixora::Surround monoCase(kRate);
    monoCase.setEnabled(true);
    std::vector<float> m(4096), n(4096);
    for (int i = 0; i < 4096; ++i) m[i] = n[i] = noise(rng);
    const std::vector<float> mono = m;
    monoCase.process(m.data(), n.data(), 4096);
    EXPECT_EQ(m, mono);
    EXPECT_EQ(n, mono);
}
