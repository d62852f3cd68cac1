#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "PanelFiles.h"
#include "ombrix/skin/BumpBackground.h"
#include "ombrix/skin/DrawingSurface.h"
#include "ombrix/skin/ScreenDisplay.h"

namespace ombrix::test {
namespace {

using Light = BumpBackground::Light;
constexpr int W = BumpBackground::kWidth;
constexpr int H = BumpBackground::kHeight;

// The diamond a flat relief gives: full light under the spot, falling off by one a pixel in
// each direction, borders at 100.
int diamond(int x, int y, int lx, int ly) {
    if (x == 0 || y == 0 || x == W - 1 || y == H - 1) return 100;
    return 255 - std::min(std::abs(x - lx), 127) - std::min(std::abs(y - ly), 127);
}

TEST(BumpPalette, DefaultsEndsAndTheLightTerm) {
    const QList<QRgb> p = BumpBackground::palette(Light{});
    ASSERT_EQ(p.size(), 256);
    // Index 0: q is about 0.006, so only the ambient share is left.
    EXPECT_EQ(p.at(0), qRgb(9, 30, 41));
    EXPECT_EQ(p.at(128), qRgb(52, 160, 218));
    // Index 255: q = 1, each channel X + X x ambient / 255 + light, capped.
    EXPECT_EQ(p.at(255), qRgb(129, 255, 255));

    // Reflection 0 makes the power term 1: every entry gains exactly the light strength.
    const QList<QRgb> dark = BumpBackground::palette(Light{0x000000, 0, 0, 0});
    const QList<QRgb> lit = BumpBackground::palette(Light{0x000000, 0, 0, 37});
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(qRed(dark.at(i)), 0);
        EXPECT_EQ(qRed(lit.at(i)), 37) << i;
    }
    const QList<QRgb> grey = BumpBackground::palette(Light{0x808080, 0, 0, 10});
    const QList<QRgb> greyDark = BumpBackground::palette(Light{0x808080, 0, 0, 0});
    for (int i = 0; i < 256; ++i) EXPECT_EQ(qGreen(grey.at(i)), qGreen(greyDark.at(i)) + 10);
}

// Settings typed into unbounded fields: a negative reflection (whose power of a small q grows
// without limit) and huge values are held to their ranges; nothing overflows.
TEST(BumpPalette, OutOfRangeSettingsAreHeldToTheirRanges) {
    EXPECT_EQ(BumpBackground::palette(Light{0xFCB93D, 40, -5, 59}),
              BumpBackground::palette(Light{0xFCB93D, 40, 0, 59}));
    const QList<QRgb> huge = BumpBackground::palette(Light{-1, 2'000'000'000, 2'000'000'000,
                                                           2'000'000'000});
    for (QRgb c : huge) EXPECT_EQ(c, qRgb(255, 255, 255));
    EXPECT_EQ(BumpBackground::palette(Light{0xFCB93D, -40, 200, -59}),
              BumpBackground::palette(Light{0xFCB93D, 0, 200, 0}));
}

TEST(BumpFrame, AFlatReliefGivesTheDiamondAndTheCounterWraps) {
    const std::vector<uint8_t> flat(BumpBackground::kPixels, 0);
    std::vector<uint8_t> out(BumpBackground::kPixels);
    BumpBackground bump;
    for (uint16_t start : {uint16_t{0}, uint16_t{499}, uint16_t{65535}}) {
        bump.setCounter(start);
        bump.drawFrame(flat.data(), 0, out.data());
        const uint16_t t = uint16_t(start + 1);
        EXPECT_EQ(bump.counter(), t);
        const int lx = BumpBackground::lightX(t), ly = BumpBackground::lightY(t);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                ASSERT_EQ(out[size_t(y * W + x)], diamond(x, y, lx, ly))
                    << "t " << t << " at " << x << "," << y;
    }
    // After the wrap the light starts again from t = 0 (cos 0, sin 0), without a jump.
    EXPECT_EQ(BumpBackground::lightX(0), 150);
    EXPECT_EQ(BumpBackground::lightY(0), 31);
    EXPECT_EQ(BumpBackground::lightX(1), 150);
    EXPECT_EQ(BumpBackground::lightY(1), 32);
    // Halves go to even: cos(t / 10) x 40 + 110 = 110.5 nowhere exactly, but the path stays
    // inside the screen for every t.
    for (int t = 0; t < 65536; t += 97) {
        EXPECT_GE(BumpBackground::lightX(uint16_t(t)), 70);
        EXPECT_LE(BumpBackground::lightX(uint16_t(t)), 150);
        EXPECT_GE(BumpBackground::lightY(uint16_t(t)), 8);
        EXPECT_LE(BumpBackground::lightY(uint16_t(t)), 54);
    }
}

TEST(BumpFrame, ReliefBendsTheLightAndTheSlideFlattensIt) {
    std::vector<uint8_t> relief(BumpBackground::kPixels, 0);
    relief[size_t(40 * W + 100)] = 50;  // one raised pixel
    std::vector<uint8_t> out(BumpBackground::kPixels);
    BumpBackground bump;
    bump.drawFrame(relief.data(), 0, out.data());
    const int lx = BumpBackground::lightX(1), ly = BumpBackground::lightY(1);
    // Left of the peak the slope points right (nx = 50), right of it left (nx = -50).
    auto lit = [&](int x, int y, int nx, int ny) {
        return 255 - std::min(std::abs((x - lx) - nx), 127) - std::min(std::abs((y - ly) - ny), 127);
    };
    EXPECT_EQ(out[size_t(40 * W + 99)], lit(99, 40, 50, 0));
    EXPECT_EQ(out[size_t(40 * W + 101)], lit(101, 40, -50, 0));
    EXPECT_EQ(out[size_t(39 * W + 100)], lit(100, 39, 0, 50));
    EXPECT_EQ(out[size_t(41 * W + 100)], lit(100, 41, 0, -50));
    EXPECT_EQ(out[size_t(40 * W + 100)], diamond(100, 40, lx, ly));

    // While new lines slide in every height is raised to at least the offset: here the whole
    // relief, so the diamond comes back.
    bump.setCounter(0);
    bump.drawFrame(relief.data(), 60, out.data());
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) ASSERT_EQ(out[size_t(y * W + x)], diamond(x, y, lx, ly));
}

class FixedPlugin : public ScreenBackgroundSource {
public:
    bool drawFrame(uint8_t* frame, QList<QRgb>& palette) override {
        std::fill(frame, frame + W * H, uint8_t{10});
        ++frames;
        if (!newPalette) return false;
        palette = QList<QRgb>(256, qRgb(1, 2, 3));
        newPalette = false;
        return true;
    }
    int frames = 0;
    bool newPalette = false;
};

// Each background keeps its own bar shades and colours; going back to the default picture
// brings its colours back.
TEST(ScreenBackgrounds, BarShadesAndColoursFollowTheBackground) {
    RecordingCommands commands;
    ScreenDisplay screen{commands};
    DrawingSurface dpb{220, 80, 8};
    QImage bg(220, 80, QImage::Format_Indexed8);
    QList<QRgb> grey;
    for (int i = 0; i < 256; ++i) grey.append(qRgb(i, i, i));
    bg.setColorTable(grey);
    bg.fill(0);
    screen.setDefaultBackground(bg);
    PlayerState s;
    s.playing = s.songOpen = true;
    s.position = 512;
    s.positionScale = 1024;  // p = 100
    screen.setState(s);
    auto px = [&](int x, int y) { return int(screen.frame()[size_t((79 - y) * 220 + x)]); };

    FixedPlugin plugin;
    screen.usePluginBackground(2, &plugin, QList<QRgb>(256, qRgb(9, 9, 9)));
    EXPECT_TRUE(screen.animating());
    screen.tick(dpb);
    screen.tick(dpb);
    EXPECT_EQ(plugin.frames, 2);  // a plug-in background draws every tick
    EXPECT_EQ(px(50, 73), 10 + 192);
    EXPECT_EQ(px(150, 73), 10 + 128);
    EXPECT_EQ(px(150, 70), 10);
    EXPECT_EQ(screen.colorTable().at(0), qRgb(9, 9, 9));
    plugin.newPalette = true;
    screen.tick(dpb);
    EXPECT_EQ(screen.colorTable().at(0), qRgb(1, 2, 3));

    screen.usePluginBackground(3, &plugin, QList<QRgb>(256, qRgb(9, 9, 9)));
    screen.tick(dpb);
    EXPECT_EQ(px(50, 73), 255);
    EXPECT_EQ(px(150, 73), 10);

    screen.useBumpBackground(Light{});
    EXPECT_EQ(screen.colorTable(), BumpBackground::palette(Light{}));
    screen.tick(dpb);
    const int lx = BumpBackground::lightX(screen.bump().counter());
    const int ly = BumpBackground::lightY(screen.bump().counter());
    EXPECT_EQ(px(50, 73), std::min(255, diamond(50, 79 - 73, lx, ly) + 128));
    EXPECT_EQ(px(150, 73), diamond(150, 79 - 73, lx, ly));

    screen.useDefaultBackground();
    EXPECT_FALSE(screen.animating() && screen.backgroundMode() != 0);
    EXPECT_EQ(screen.colorTable(), grey.mid(0, 255) + QList<QRgb>{qRgb(0, 0, 0)});
    screen.tick(dpb);
    EXPECT_EQ(px(50, 73), 255);
    EXPECT_EQ(px(150, 73), 0);
}

}  // namespace
}  // namespace ombrix::test
