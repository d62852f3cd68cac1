// The equaliser curves: positions to gains, the bands they drive, the "feq" section, the
// choice between them, and what they do to a real decoded stream and the real effects engine.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>

#include "EffectsFakes.h"
#include "core/DecoderSettings.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"
#include "mixora.h"
#include "ombrix/control/DecoderControl.h"
#include "ombrix/effects/DecoderEqualizer.h"
#include "ombrix/effects/EqualizerCurve.h"
#include "ombrix/effects/EqualizerSetup.h"
#include "ombrix/settings/IniDocument.h"
#include "output/CaptureAudioDevice.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

TEST(EqualizerCurveTest, PositionsGiveGainsFromDoubleAtTheTopToSilenceAtTheBottom) {
    EXPECT_FLOAT_EQ(EqualizerCurve::gainFor(250), 1.5f);
    EXPECT_FLOAT_EQ(EqualizerCurve::gainFor(750), 0.5f);
    EXPECT_FLOAT_EQ(EqualizerCurve::gainFor(499), 1.002f);
    EXPECT_FLOAT_EQ(EqualizerCurve::gainFor(501), 0.998f);
    // Values from outside the slider's range never give negative or huge gains.
    EXPECT_FLOAT_EQ(EqualizerCurve::gainFor(-40), 2.0f);
    EXPECT_FLOAT_EQ(EqualizerCurve::gainFor(1 << 30), 0.0f);
}

TEST(EqualizerCurveTest, SendingTheCurveGivesEachSliderTwoNeighbouringBands) {
    EqualizerCurve curve;
    curve.setPosition(1, 0);
    curve.setPosition(9, 750);
    curve.setPosition(16, 1000);
    curve.setPosition(17, 0);  // no such slider: ignored
    RecordingEqualizer sink;
    curve.send(sink);
    ASSERT_EQ(sink.calls.size(), 32u);
    for (int b = 0; b < 32; ++b) {
        EXPECT_EQ(sink.calls[b].first, b) << "bands go out in order";
        const float expected = b < 2 ? 2.0f : (b == 16 || b == 17) ? 0.5f : b >= 30 ? 0.0f : 1.0f;
        EXPECT_FLOAT_EQ(sink.calls[b].second, expected) << "band " << b;
    }
}

TEST(EqualizerCurveTest, FeqSectionIsReadClampedAndWrittenBack) {
    EqualizerCurve curve;
    curve.setPosition(2, 100);
    curve.read(IniDocument());
    for (int n = 1; n <= 16; ++n) EXPECT_EQ(curve.position(n), 500) << "missing section: flat";

    IniDocument ini = IniDocument::parse({"[feq]", "ScrollBar3=250", "ScrollBar4=loud",
                                          "ScrollBar5=-7", "ScrollBar6=5000", "ScrollBar16=0x64"});
    curve.read(ini);
    EXPECT_EQ(curve.position(3), 250);
    EXPECT_EQ(curve.position(4), 500) << "an unreadable value is the default";
    EXPECT_EQ(curve.position(5), 0);
    EXPECT_EQ(curve.position(6), 1000);
    EXPECT_EQ(curve.position(16), 100);

    IniDocument out;
    curve.write(out);
    EqualizerCurve again;
    again.read(out);
    for (int n = 1; n <= 16; ++n) EXPECT_EQ(again.position(n), curve.position(n)) << n;
    EXPECT_EQ(out.keys("feq").size(), 16);
}

TEST(EqualizerSetupTest, OnlyTheChosenCurveIsSentTheOtherGoesFlat) {
    EqualizerSetup setup;
    setup.subbands.setPosition(1, 0);
    setup.octaves.setGainDb(5, -12);
    setup.octaves.setGainDb(0, 99);
    EXPECT_EQ(setup.octaves.gainDb(0), 12) << "clamped";
    setup.octaves.setGainDb(10, 3);  // no such band: ignored

    RecordingEqualizer subbands;
    setup.send(subbands);
    EXPECT_EQ(subbands.calls.size(), 32u);
    EXPECT_EQ(subbands.octaveCalls.size(), 10u);
    EXPECT_FLOAT_EQ(subbands.bands[0], 2.0f);
    for (float g : subbands.octaves) EXPECT_EQ(g, 0.0f);

    setup.mode = EqualizerMode::Octaves;
    RecordingEqualizer octaves;
    setup.send(octaves);
    for (float g : octaves.bands) EXPECT_EQ(g, 1.0f);
    EXPECT_EQ(octaves.octaves[5], -12.0f);
    EXPECT_EQ(octaves.octaves[0], 12.0f);
    EXPECT_EQ(octaves.octaveCalls.size(), 10u);
}

TEST(EqualizerSetupTest, FeqSectionKeepsTheModeAndTenGainsBesideTheSliders) {
    EqualizerSetup setup;
    setup.read(IniDocument::parse({"[feq]", "eqmode=1", "eqband0=-4", "eqband3=30",
                                   "eqband4=loud", "eqband9=-12", "ScrollBar2=100"}));
    EXPECT_EQ(setup.mode, EqualizerMode::Octaves);
    EXPECT_EQ(setup.octaves.gainDb(0), -4);
    EXPECT_EQ(setup.octaves.gainDb(3), 12);
    EXPECT_EQ(setup.octaves.gainDb(4), 0) << "an unreadable value is flat";
    EXPECT_EQ(setup.octaves.gainDb(9), -12);
    EXPECT_EQ(setup.subbands.position(2), 100);

    IniDocument out = IniDocument::parse({"[feq]", "other=1"});
    setup.write(out);
    EqualizerSetup again;
    again.read(out);
    EXPECT_EQ(again.mode, EqualizerMode::Octaves);
    for (int b = 0; b < 10; ++b) EXPECT_EQ(again.octaves.gainDb(b), setup.octaves.gainDb(b));
    EXPECT_EQ(out.readInteger("feq", "other", 0), 1) << "other keys stay";
    EXPECT_EQ(out.keys("feq").size(), 1 + 1 + 16 + 10);

    for (const char* m : {"eqmode=7", "eqmode=-1", "eqmode=x"}) {
        EqualizerSetup unknown;
        unknown.read(IniDocument::parse({"[feq]", m}));
        EXPECT_EQ(unknown.mode, EqualizerMode::Subbands) << m;
    }
}

/// Level in dB of @p hz in the left channel of interleaved stereo at 44.1 kHz.
double levelDb(const std::vector<int16_t>& x, double hz) {
    const double w = 2 * M_PI * hz / 44100.0;
    double s1 = 0, s2 = 0;
    for (size_t i = x.size() / 2; i + 1 < x.size(); i += 2) {
        const double s = x[i] + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return 10 * std::log10(s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2 + 1e-9);
}

TEST(EqualizerSetupTest, TheProgramsSinkAndTheEqSwitchReachTheEffectsEngine) {
    // 440 + 660 Hz: the sixteen subband sliders hold both on the first slider; the octave
    // curve can pull everything around them down and leave them standing.
    XMDestroy();
    XMSetSampleRate(44100);
    std::vector<int16_t> in(44100 * 2);
    for (size_t i = 0; i < in.size() / 2; ++i) {
        const double t = static_cast<double>(i) / 44100.0;
        const auto v = static_cast<int16_t>(6000 * std::sin(2 * M_PI * 440 * t) +
                                            6000 * std::sin(2 * M_PI * 660 * t) +
                                            6000 * std::sin(2 * M_PI * 4000 * t));
        in[2 * i] = in[2 * i + 1] = v;
    }
    EqualizerSetup setup;
    setup.mode = EqualizerMode::Octaves;
    for (int band : {0, 1, 2, 6, 7, 8, 9}) setup.octaves.setGainDb(band, -12);
    DecoderEqualizer sink;
    setup.sendOctaves(sink);
    LibraryDecoder decoder;
    std::vector<int16_t> out = in;
    shortStereo(out.data(), static_cast<int32_t>(out.size()), 0);
    EXPECT_EQ(out, in) << "the eq switch is still off";
    decoder.enableEqualizer(true);
    out = in;
    shortStereo(out.data(), static_cast<int32_t>(out.size()), 0);
    EXPECT_NEAR(levelDb(out, 440), levelDb(in, 440), 2.0);
    EXPECT_NEAR(levelDb(out, 660), levelDb(in, 660), 2.0);
    EXPECT_LT(levelDb(out, 4000), levelDb(in, 4000) - 12.0) << "its band and both neighbours cut";

    decoder.enableEqualizer(false);
    for (int i = 0; i < 2; ++i) {
        out = in;
        shortStereo(out.data(), static_cast<int32_t>(out.size()), 0);
    }
    EXPECT_EQ(out, in) << "switched off, the curve is not heard";
    decoder.enableEqualizer(true);

    // With the subbands chosen the octave bands go flat, and the engine leaves blocks alone.
    setup.mode = EqualizerMode::Subbands;
    setup.sendOctaves(sink);
    for (int i = 0; i < 2; ++i) {
        out = in;
        shortStereo(out.data(), static_cast<int32_t>(out.size()), 0);
    }
    EXPECT_EQ(out, in);
    decoder.enableEqualizer(false);
    XMDestroy();
}

// ---------------------------------------------------------------------------------------------
// The curve applied to real decoder output.

/// Writes the decoder's band gains, as the exported OmbrixSetEQ does for the process-wide one.
class SettingsEqualizer final : public EqualizerSink {
public:
    explicit SettingsEqualizer(mp3::DecoderSettings& s) : settings_(s) {}
    void setBand(int band, float gain) noexcept override {
        if (band >= 0 && band < 32) settings_.eqGains[band] = gain;
    }
    void setOctaveGain(int, float) noexcept override {}

private:
    mp3::DecoderSettings& settings_;
};

std::vector<int16_t> decodeLeft(const QString& mp3, const EqualizerCurve& curve) {
    mp3::DecoderSettings settings;
    settings.setVolume(32768);
    settings.eqEnabled = 1;
    SettingsEqualizer sink(settings);
    curve.send(sink);
    std::vector<int16_t> left;
    mp3::CaptureAudioDevice device(
        [&](const mp3::PcmFormat& format, const int16_t* samples, size_t count) {
            for (size_t i = 0; i < count; i += format.channels) left.push_back(samples[i]);
        });
    mp3::PlaybackControl control;
    mp3::Playback playback(settings, control, mp3::EffectsHooks{});
    EXPECT_EQ(playback.run(mp3.toStdString(), 0, &device), mp3::Playback::kFinished);
    return left;
}

/// Power of @p hz in @p x (Goertzel), sampled at 44.1 kHz.
double power(const std::vector<int16_t>& x, double hz) {
    const double w = 2 * M_PI * hz / 44100.0;
    double s1 = 0, s2 = 0;
    for (int16_t v : x) {
        const double s = v + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
}

TEST(EqualizerCurveTest, UpperSlidersAtTheBottomRemoveHighFrequenciesFromADecodedStream) {
    QTemporaryDir dir;
    const QString mp3 = dir.filePath("tones.mp3");
    // One second of 440 Hz (slider 1) and 12 kHz (decoder band 17, slider 9).
    if (!encode(pcmWave(1000, {440, 12000}, 6000), mp3, 192))
        GTEST_SKIP() << "lame is needed to make a test stream";
    EqualizerCurve flat;
    EqualizerCurve cut;
    for (int n = 9; n <= 16; ++n) cut.setPosition(n, 1000);
    const std::vector<int16_t> a = decodeLeft(mp3, flat);
    const std::vector<int16_t> b = decodeLeft(mp3, cut);
    ASSERT_GT(a.size(), 40000u);
    ASSERT_EQ(a.size(), b.size());

    const double highFlat = power(a, 12000), highCut = power(b, 12000);
    const double lowFlat = power(a, 440), lowCut = power(b, 440);
    ASSERT_GT(highFlat, 0.1 * lowFlat) << "the flat stream carries the high tone";
    EXPECT_LT(highCut, highFlat / 1000) << "the high tone is gone (more than 30 dB down)";
    EXPECT_GT(lowCut, lowFlat / 2) << "the low tone stays";
}

}  // namespace
}  // namespace ombrix::test
