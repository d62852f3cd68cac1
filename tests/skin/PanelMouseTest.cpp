#include <gtest/gtest.h>

#include "PanelFiles.h"
#include "support/Files.h"

#include "ombrix/skin/PanelError.h"
#include "ombrix/skin/PanelPresenter.h"

namespace ombrix::test {
namespace {

// A 200 x 100 panel: play and stop overlap, a volume fader of travel 70 with a knob of 10,
// a pan fader of travel 64 with a knob of 16, the level meter and the LCD volume.
class PanelMouseTest : public ::testing::Test {
protected:
    void SetUp() override {
        QStringList btn = rect("play", 10, 10, 30, 30) + rect("stop", 20, 20, 40, 40) +
                          rect("pause", 50, 10, 70, 30) + rect("volumeup", 50, 40, 70, 60) +
                          rect("repeat", 80, 10, 100, 20) + rect("fadervolume", 110, 10, 120, 90) +
                          rect("faderpan", 130, 10, 210, 20) + rect("ledvolume", 130, 40, 150, 90) +
                          rect("lcdvolume", 160, 40, 190, 60);
        btn << "fadervolumeknob=10"
            << "faderpanknob=16";
        path = folder.write("p", {220, 100}, QColor(10, 10, 10), QColor(200, 0, 0), btn);
        panel.apply(path);
    }
    void click(int x, int y) {
        panel.move(x, y);
        panel.press(x, y, false);
        panel.release();
    }
    PlayerState stopped() const {
        PlayerState s;
        s.count = 3;
        return s;
    }

    PanelFolder folder;
    QString path;
    RecordingCommands commands;
    PanelPresenter panel{commands};
};

TEST_F(PanelMouseTest, HitTestsAtEdgesAndOverlaps) {
    panel.setState(stopped());
    click(10, 10);
    EXPECT_EQ(commands.last(), "play");
    click(25, 25);  // inside play and stop: the lower index wins
    EXPECT_EQ(commands.last(), "play");
    commands.calls.clear();
    click(30, 15);  // right edge is outside
    click(15, 30);  // bottom edge is outside
    EXPECT_TRUE(commands.calls.empty() || std::find(commands.calls.begin(), commands.calls.end(),
                                                    "play") == commands.calls.end());
    // A disabled element counts as background: stop while nothing plays drags the window.
    commands.calls.clear();
    panel.press(35, 35, false);
    EXPECT_TRUE(panel.windowDrag());
    panel.move(36, 36);
    EXPECT_EQ(commands.last(), "drag");
    panel.release();
}

TEST_F(PanelMouseTest, VolumeFaderArithmetic) {
    panel.setVolumeFromFader(10 + 10);  // Top + knob
    EXPECT_EQ(panel.volume(), 127);
    EXPECT_EQ(commands.volume, 127);
    panel.setVolumeFromFader(0);  // clamped to the top
    EXPECT_EQ(panel.volume(), 127);
    panel.setVolumeFromFader(89);  // Bottom - 1: 127 - 69 * 128 / 70
    EXPECT_EQ(panel.volume(), 1);
    panel.setVolumeFromFader(1000);
    EXPECT_EQ(panel.volume(), 1);
    panel.setVolumeFromFader(55);  // 127 - 35 * 128 / 70 = 127 - 64
    EXPECT_EQ(panel.volume(), 63);
    EXPECT_EQ(panel.dragElement(), kFaderVolume);
}

TEST_F(PanelMouseTest, PanFaderArithmeticAndMessages) {
    panel.setPanFromFader(0);  // far left
    EXPECT_EQ(panel.pan(), -127);
    EXPECT_EQ(commands.pan, -128);
    // The message goes to the screen.
    auto message = [&] {
        PlayerState s;
        panel.screen().tick(panel.dpb());
        return panel.screen().messageCountdown();
    };
    EXPECT_EQ(message(), ScreenDisplay::kMessageTicks - 1);
    panel.setPanFromFader(130 + 60);  // (60 * 256) / 64 - 127 = 113
    EXPECT_EQ(panel.pan(), 113);
    EXPECT_EQ(commands.pan, 128) << "the far right mutes the left side as the far left the right";
    panel.setPanFromFader(1000);  // Right - knob: 256 - 127
    EXPECT_EQ(panel.pan(), 129);
    EXPECT_EQ(commands.pan, 128);
    // Round to the nearest 32: the middle of the fader is centred on both sides of it.
    for (int x = 130; x <= 194; ++x) {
        panel.setPanFromFader(x);
        const int p = panel.pan();
        if (p >= -16 && p <= 16) EXPECT_EQ(commands.pan, 0) << x;
        if (p >= 17 && p <= 47) EXPECT_EQ(commands.pan, 32) << x;
        if (p >= -47 && p <= -17) EXPECT_EQ(commands.pan, -32) << x;
    }
}

TEST_F(PanelMouseTest, FadersWithoutTravelDoNothing) {
    folder.write("flat", {220, 100}, Qt::black, Qt::red,
                 rect("fadervolume", 10, 10, 20, 20) + rect("faderpan", 30, 10, 40, 20) +
                     QStringList{"fadervolumeknob=10", "faderpanknob=10"});
    panel.apply(folder.path("flat.bmp"));
    EXPECT_EQ(panel.panel().volumeTravel, 0);
    panel.press(15, 15, false);
    panel.move(15, 19);
    panel.press(35, 15, false);
    panel.move(39, 15);
    EXPECT_EQ(commands.volume, -1);
    EXPECT_EQ(commands.pan, 999);
    panel.drawVolumeFader();
    panel.drawPanFader();
}

TEST_F(PanelMouseTest, PressWhilePausedResumesAndPauseStaysPaused) {
    PlayerState s = stopped();
    s.playing = s.songOpen = s.paused = true;
    panel.setState(s);
    click(60, 20);
    EXPECT_EQ(commands.calls, (std::vector<QString>{"resume", "pause"}));
    panel.setState(s);
    commands.calls.clear();
    panel.press(5, 95, true);  // any button anywhere resumes
    EXPECT_EQ(commands.calls, std::vector<QString>{"resume"});
}

TEST_F(PanelMouseTest, HeldButtonsStopOnReleaseAndWhenLeft) {
    panel.setState(stopped());
    panel.press(55, 45, false);  // no move first: nothing is highlighted
    EXPECT_EQ(commands.last(), "vol+");
    panel.release();
    EXPECT_EQ(commands.last(), "vol released");
    panel.move(55, 45);
    panel.press(55, 45, false);
    panel.move(5, 95);  // leaving the button ends the ramp
    EXPECT_EQ(commands.last(), "vol released");
}

TEST_F(PanelMouseTest, DoubleClickOnBackgroundTogglesCoolbarAndSkipsOnePress) {
    PanelPresenter::Options o;
    o.doubleClickCoolbar = true;
    panel.setOptions(o);
    panel.setState(stopped());
    panel.press(5, 95, false);
    panel.release();
    panel.doubleClick();
    EXPECT_EQ(commands.last(), "coolbar");
    EXPECT_EQ(panel.skipNextPress(), 1);
    commands.calls.clear();
    panel.press(15, 15, false);  // skipped
    EXPECT_TRUE(commands.calls.empty());
    EXPECT_EQ(panel.skipNextPress(), 0);

    panel.press(15, 15, false);
    panel.release();
    panel.doubleClick();  // on an element: no coolbar
    EXPECT_EQ(commands.last(), "play");
}

TEST_F(PanelMouseTest, TogglesHoverAndLevelMeterDrawFromTheAlternateImage) {
    const QRgb on = qRgb(200, 0, 0), off = qRgb(10, 10, 10);
    auto px = [&](int x, int y) { return panel.dpb2().image().pixel(x, y) & 0xFFFFFF; };
    EXPECT_EQ(px(85, 15), off & 0xFFFFFF);
    click(85, 15);
    EXPECT_TRUE(commands.toggles[kRepeat]);
    EXPECT_EQ(px(85, 15), on & 0xFFFFFF);
    click(85, 15);
    EXPECT_EQ(px(85, 15), off & 0xFFFFFF);

    panel.move(60, 20);  // hover on pause (enabled only while playing: no highlight)
    EXPECT_EQ(px(60, 20), off & 0xFFFFFF);
    panel.move(20, 12);  // play highlights
    EXPECT_EQ(px(20, 12), on & 0xFFFFFF);
    panel.move(5, 95);
    EXPECT_EQ(px(20, 12), off & 0xFFFFFF);
    EXPECT_EQ(panel.highlighted(), -1);
    // Leaving the window from a lit element (into a tool window it opened) puts it out.
    panel.move(20, 12);
    panel.leave();
    EXPECT_EQ(px(20, 12), off & 0xFFFFFF);
    EXPECT_EQ(panel.highlighted(), -1);

    // Level meter: 50 px high; half of full scale lights the lower 25 rows of the left bar.
    panel.drawLevelMeter(16384, 100000);
    const QImage& m = panel.dpbvolume().image();
    EXPECT_EQ(m.pixel(5, 49) & 0xFFFFFF, on & 0xFFFFFF);
    EXPECT_EQ(m.pixel(5, 25) & 0xFFFFFF, on & 0xFFFFFF);
    EXPECT_EQ(m.pixel(5, 24) & 0xFFFFFF, off & 0xFFFFFF);
    EXPECT_EQ(m.pixel(15, 1) & 0xFFFFFF, on & 0xFFFFFF);  // more than full scale: 49 of 50 rows
    panel.drawLevelMeter(0, -5);
    EXPECT_EQ(m.pixel(5, 49) & 0xFFFFFF, off & 0xFFFFFF);
    EXPECT_EQ(m.pixel(15, 49) & 0xFFFFFF, off & 0xFFFFFF);

    // Ticks light the meter only while a song is heard; a pause, a stop or switching the meter
    // off puts its bars out.
    const auto lit = [&] { return (m.pixel(5, 49) & 0xFFFFFF) == (on & 0xFFFFFF); };
    PlayerState playing = stopped();
    playing.playing = true;
    panel.setState(playing);
    panel.tick(20000, 20000, true);
    EXPECT_TRUE(lit());
    PlayerState paused = playing;
    paused.paused = true;
    panel.setState(paused);
    panel.tick(20000, 20000, true);
    EXPECT_FALSE(lit()) << "paused";
    panel.setState(playing);
    panel.tick(20000, 20000, true);
    panel.setState(stopped());
    panel.tick(0, 0, true);
    EXPECT_FALSE(lit()) << "stopped";
    panel.setState(playing);
    panel.tick(20000, 20000, true);
    PanelPresenter::Options noMeter = panel.options();
    noMeter.enableVu = false;
    panel.setOptions(noMeter);
    panel.tick(20000, 20000, true);
    EXPECT_FALSE(lit()) << "meter switched off";

    // Volume fader: the fill from the bottom up to the knob.
    panel.setVolumeFromFader(55);  // volume 63: k = 70 * 63 >> 7 = 34
    EXPECT_EQ(px(115, 89), on & 0xFFFFFF);
    EXPECT_EQ(px(115, 90 - 34), on & 0xFFFFFF);
    EXPECT_EQ(px(115, 90 - 34 - 10), on & 0xFFFFFF);  // the knob
    EXPECT_EQ(px(115, 90 - 34 - 11), off & 0xFFFFFF);
}

TEST_F(PanelMouseTest, BrokenPanelKeepsTheAppliedOne) {
    writeFile(folder.path("junk.bmp"), "BM nonsense");
    EXPECT_THROW(panel.apply(folder.path("junk.bmp")), PanelError);
    EXPECT_EQ(panel.panel().path(), path);
    EXPECT_EQ(panel.dpb2().image().size(), QSize(220, 100));
}

}  // namespace
}  // namespace ombrix::test
