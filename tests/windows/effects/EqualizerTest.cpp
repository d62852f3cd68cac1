// The equaliser curve: positions to gains, the bands it drives, the "feq" section, and what
// it does to a real decoded stream.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>

#include "EffectsFakes.h"
#include "core/DecoderSettings.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"
#include "ombrix/effects/EqualizerCurve.h"
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

// ---------------------------------------------------------------------------------------------
// The curve applied to real decoder output.

/// Writes the decoder's band gains, as the exported OmbrixSetEQ does for the process-wide one.
class SettingsEqualizer final : public EqualizerSink {
public:
    explicit SettingsEqualizer(mp3::DecoderSettings& s) : settings_(s) {}
    void setBand(int band, float gain) noexcept override {
        if (band >= 0 && band < 32) settings_.eqGains[band] = gain;
    }

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
