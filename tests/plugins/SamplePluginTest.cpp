#include <algorithm>

#include "PluginFixtures.h"
#include "ombrix/skin/PluginHost.h"

namespace ombrix {
namespace {

constexpr int kLimit = 20000;
const QString kSamples = QStringLiteral(OMBRIX_SAMPLE_PLUGINS);

class SamplePluginTest : public test::PluginTest {};

/// Ticks with a beat: loud, quiet, loud ...
void play(PluginHost& host, int ticks, const uint8_t* wave = nullptr,
          const uint8_t* spectrum = nullptr) {
    for (int i = 0; i < ticks; ++i) {
        const int level = i % 2 ? 30000 : 2000;
        host.update(QStringLiteral("Demo"), i * 100, level, level / 2, wave, spectrum);
        ASSERT_TRUE(host.waitForAnswer(kLimit));
    }
}

TEST_F(SamplePluginTest, BackgroundAndFullScreenSamplesDrawWithAPalette) {
    for (auto [kind, file] : {std::pair{PluginKind::Background, "/bg/plasma.so"},
                              std::pair{PluginKind::FullScreen, "/full/tunnel.so"}}) {
        PluginHost host(kind);
        QString error;
        ASSERT_TRUE(host.load(kSamples + file, home(), &error)) << file << qPrintable(error);
        EXPECT_FALSE(PluginHost::description(kind, kSamples + file).isEmpty());
        play(host, 4);
        const auto* f = host.frame();
        const auto pixels = host.width() * host.height();
        EXPECT_GT(*std::max_element(f, f + pixels), *std::min_element(f, f + pixels)) << file;
        EXPECT_NE(host.palette().at(0), host.palette().at(255));
        EXPECT_FALSE(host.failed());
    }
}

TEST_F(SamplePluginTest, AmpSampleDrawsTheSpectrum) {
    PluginHost host(PluginKind::Amp);
    ASSERT_TRUE(host.load(kSamples + "/amp/bars.so", home(), nullptr));
    uint8_t wave[2 * 576];
    uint8_t spectrum[2 * 576];
    for (int i = 0; i < 2 * 576; ++i) {
        wave[i] = static_cast<uint8_t>(i * 7);
        spectrum[i] = static_cast<uint8_t>(255 - (i % 576) / 3);
    }
    play(host, 3, wave, spectrum);
    const uint32_t* c = host.canvas();
    EXPECT_NE(c[239 * 320 + 10], c[0]);  // a bar at the bottom, ground at the top corner
}

}  // namespace
}  // namespace ombrix
