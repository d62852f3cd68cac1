// What the panel tells and allows a new user: tooltips, the eject button's enabled state, the
// middle button, the zoom arithmetic and the fonts made from the settings.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QSet>

#include "PanelFiles.h"

#include "ombrix/settings/PlayerSettings.h"
#include "ombrix/skin/PanelFont.h"
#include "ombrix/skin/PanelPresenter.h"
#include "ombrix/skin/PanelZoom.h"

namespace ombrix::test {
namespace {

/// Commands whose open-allowed answer a test sets.
struct GatedCommands : RecordingCommands {
    bool allowOpen = true;
    bool openAllowed() const override { return allowOpen; }
};

// A 300 x 100 panel with eject, play, the volume fader, the level meter and the screen.
class PanelHelpTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QStringList btn = rect("open", 10, 10, 30, 30) + rect("play", 40, 10, 60, 30) +
                                rect("fadervolume", 240, 10, 250, 90) +
                                rect("ledvolume", 260, 10, 280, 90) +
                                QStringList{"screenleft=10", "screentop=15"};
        panel.apply(folder.write("p", {300, 100}, Qt::black, Qt::red, btn));
        PlayerState s;
        s.count = 2;
        panel.setState(s);
    }
    PanelFolder folder;
    GatedCommands commands;
    PanelPresenter panel{commands};
};

TEST_F(PanelHelpTest, EjectFollowsTheOpenAllowedFlag) {
    commands.allowOpen = false;
    panel.press(20, 12, false);
    panel.release();
    EXPECT_TRUE(commands.calls.empty()) << "a disabled eject opens nothing";
    EXPECT_TRUE(panel.windowDrag()) << "a press on it is a press on the background";
    panel.move(20, 12);
    EXPECT_EQ(panel.highlighted(), -1) << "nor does it light up";

    commands.allowOpen = true;
    panel.move(20, 12);
    EXPECT_EQ(panel.highlighted(), kOpen);
    panel.press(20, 12, false);
    panel.release();
    EXPECT_EQ(commands.calls, std::vector<QString>{"open"});
}

TEST_F(PanelHelpTest, MiddleButtonResumesAPausedSongAndDoesNothingElse) {
    PlayerState paused;
    paused.count = 2;
    paused.playing = paused.songOpen = paused.paused = true;
    panel.setState(paused);
    panel.pressOther();
    EXPECT_EQ(commands.calls, std::vector<QString>{"resume"});

    PlayerState playing = paused;
    playing.paused = false;
    panel.setState(playing);
    commands.calls.clear();
    panel.move(50, 12);
    panel.pressOther();  // over play: the middle button presses no element
    panel.release();
    EXPECT_TRUE(commands.calls.empty());
    EXPECT_FALSE(panel.windowDrag());
}

TEST_F(PanelHelpTest, TooltipsNameWhatIsUnderThePointer) {
    QSet<QString> seen;
    for (int e = 0; e < kPanelElementCount; ++e) {
        const QString tip = PanelPresenter::tooltipFor(e);
        EXPECT_FALSE(tip.isEmpty()) << kPanelElementNames[e];
        seen.insert(tip);
    }
    EXPECT_EQ(seen.size(), kPanelElementCount) << "every element says something of its own";
    EXPECT_TRUE(PanelPresenter::tooltipFor(-1).isEmpty());
    EXPECT_TRUE(PanelPresenter::tooltipFor(kPanelElementCount).isEmpty());

    EXPECT_EQ(panel.tooltipAt(20, 12).text, PanelPresenter::tooltipFor(kOpen));
    EXPECT_EQ(panel.tooltipAt(20, 12).area, QRect(10, 10, 20, 20)) << "it ends off the element";
    EXPECT_EQ(panel.tooltipAt(29, 14).text, PanelPresenter::tooltipFor(kOpen));
    EXPECT_EQ(panel.tooltipAt(245, 50).text, "Volume: drag up or down");
    EXPECT_EQ(panel.tooltipAt(270, 89).text, PanelPresenter::tooltipFor(kLedVolume));
    // The screen lies over the lower part of open and play and takes the pointer there.
    EXPECT_EQ(panel.tooltipAt(20, 20).text, PanelPresenter::screenTooltip());
    EXPECT_EQ(panel.tooltipAt(229, 94).text, PanelPresenter::screenTooltip());
    EXPECT_TRUE(panel.tooltipAt(235, 5).text.isEmpty()) << "the bare panel";
    EXPECT_TRUE(panel.tooltipAt(-1, -1).text.isEmpty());
    // A disabled element still says what it is for.
    commands.allowOpen = false;
    panel.updateButtonEnabling();
    EXPECT_EQ(panel.tooltipAt(20, 12).text, PanelPresenter::tooltipFor(kOpen));
}

TEST(PanelZoomTest, WindowPointsAndSizesScaleByTheZoom) {
    const PanelZoom two(2);
    EXPECT_EQ(two.scale(), 2.0);
    for (QPoint p : {QPoint(0, 0), QPoint(17, 5), QPoint(407, 127)}) {
        EXPECT_EQ(two.toPanel(QPointF(2 * p.x(), 2 * p.y())), p);
        EXPECT_EQ(two.toPanel(QPointF(2 * p.x() + 1.9, 2 * p.y() + 1)), p);
    }
    EXPECT_EQ(two.toWindow(QSize(408, 128)), QSize(816, 256));
    EXPECT_EQ(two.toWindow(QRect(10, 20, 30, 40)), QRect(20, 40, 60, 80));
    EXPECT_EQ(two.toPanel(QRect(21, 41, 2, 2)), QRect(10, 20, 2, 2)) << "whole pixels around";
    EXPECT_EQ(PanelZoom(3).toWindow(QSize(408, 128)), QSize(1224, 384));

    // Fixed zooms count device pixels; following the screen leaves it to the pixel ratio.
    EXPECT_EQ(PanelZoom(1, 2.0).toWindow(QSize(408, 128)), QSize(204, 64));
    EXPECT_EQ(PanelZoom(2, 2.0).scale(), 1.0);
    EXPECT_EQ(PanelZoom(PanelZoom::kFollowScreen, 2.0).scale(), 1.0);
    EXPECT_EQ(PanelZoom(3, 2.0).toPanel(QPointF(3, 3)), QPoint(2, 2));
    EXPECT_EQ(PanelZoom(1, 0.0).scale(), 1.0) << "a broken ratio counts as 1";

    for (int bad : {-1, 4, 100}) EXPECT_EQ(PanelZoom(bad).setting(), PanelZoom::kFollowScreen);
    EXPECT_EQ(PanelZoom::validSetting(3), 3);
    EXPECT_EQ(PanelZoom::validSetting(9), 0);
}

TEST(PanelFontTest, WindowsFacesBecomeTheInstalledDefaultAndSmallTextIsHinted) {
    const QString family = PanelFont::defaultFamily();
    ASSERT_FALSE(family.isEmpty());
    for (const char* name : {"Arial", "arial", "", " Arial ", "MS Sans Serif"})
        EXPECT_EQ(PanelFont::familyFor(name), family) << name;
    EXPECT_EQ(PanelFont::familyFor("DejaVu Serif"), "DejaVu Serif") << "a real choice stays";

    // The stored defaults (still "Arial", as Windows settings files have it) come out as a
    // face the system really has, at 96 dots per inch.
    const PlayerSettings defaults;
    for (const FontSetting& f :
         {defaults.screenfont, defaults.lcdtitlefont, defaults.lcdvolumefont}) {
        const QFont font = PanelFont::fromSetting(f);
        EXPECT_EQ(QFontInfo(font).family(), family);
        EXPECT_EQ(font.hintingPreference(), QFont::PreferFullHinting);
        EXPECT_EQ(font.pixelSize(), qRound(f.size * 96.0 / 72.0));
    }
    const QFont bold = PanelFont::fromSetting({"Arial", 0, 8, 3});
    EXPECT_TRUE(bold.bold());
    EXPECT_TRUE(bold.italic());
    EXPECT_EQ(PanelFont::fromSetting({"Arial", 0, -5, 0}).pixelSize(), 1);
    EXPECT_EQ(PanelFont::fromSetting({"Arial", 0, 100000, 0}).pixelSize(), 267);
}

}  // namespace
}  // namespace ombrix::test
