#include <gtest/gtest.h>

#include "PanelFiles.h"
#include "ombrix/skin/DrawingSurface.h"
#include "ombrix/skin/ScreenDisplay.h"

namespace ombrix::test {
namespace {

TEST(ScreenScroll, TitleTenPixelsTooWideGoesAndComesBackInElevenTicks) {
    int pos = 0;
    std::vector<int> xs;
    for (int i = 0; i < 12; ++i) xs.push_back(ScreenDisplay::scrollX(8, 10, pos));
    EXPECT_EQ(xs, (std::vector<int>{8, 6, 4, 2, 0, -2, 0, 2, 4, 6, 8, 8}));
}

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        QImage bg(220, 80, QImage::Format_Indexed8);
        QList<QRgb> table;
        for (int i = 0; i < 256; ++i) table.append(qRgb(i, i, i));
        bg.setColorTable(table);
        bg.fill(100);
        screen.setDefaultBackground(bg);
    }
    QStringList entries(int n) {
        QStringList l;
        for (int i = 0; i < n; ++i) l << QString("/music/song%1.mp3").arg(i);
        return l;
    }
    // Pixel at screen (x, y), y from the top.
    int frame(int x, int y) const { return screen.frame()[size_t((79 - y) * 220 + x)]; }

    RecordingCommands commands;
    ScreenDisplay screen{commands};
    DrawingSurface dpb{220, 80, 8};
};

TEST_F(ScreenTest, GridPagesWrapAndNextPageOnlyWithMoreThanTwenty) {
    screen.setPlaylist(entries(20));
    screen.mouseMove(200, 45);  // cell 20
    EXPECT_TRUE(screen.gridMode());
    EXPECT_EQ(screen.hovered(), "");
    screen.mouseMove(35, 25);  // cell 1 + 7
    EXPECT_EQ(screen.hovered(), "/music/song8.mp3");
    screen.mousePress(35, 25, false);
    EXPECT_EQ(commands.last(), "entry 8");

    screen.setPlaylist(entries(45));
    screen.mouseMove(200, 45);
    EXPECT_EQ(screen.hovered(), "next page");
    screen.mousePress(200, 45, false);
    EXPECT_EQ(screen.gridPage(), 1);
    screen.mousePress(200, 45, false);
    EXPECT_EQ(screen.gridPage(), 2);
    screen.mouseMove(5, 5);
    EXPECT_EQ(screen.hovered(), "/music/song40.mp3");
    screen.mousePress(5, 5, false);
    EXPECT_EQ(commands.last(), "entry 40");
    screen.mouseMove(200, 45);
    screen.mousePress(200, 45, false);  // the last page wraps
    EXPECT_EQ(screen.gridPage(), 0);

    // The grid ends 30 ticks after the last move.
    screen.mouseMove(5, 5);
    for (int i = 0; i < 29; ++i) screen.tick(dpb);
    EXPECT_TRUE(screen.gridMode());
    screen.tick(dpb);
    EXPECT_FALSE(screen.gridMode());
}

TEST_F(ScreenTest, PositionBarSeekRowsAndRelease) {
    PlayerState s;
    s.playing = s.songOpen = true;
    s.position = 512;
    s.positionScale = 1024;
    screen.setState(s);
    screen.tick(dpb);
    // p = 100: x 10..110 on rows 71..75 get the played colour (saturating at 255).
    EXPECT_EQ(frame(10, 71), 255);
    EXPECT_EQ(frame(110, 75), 255);
    EXPECT_EQ(frame(111, 73), 100);
    EXPECT_EQ(frame(50, 70), 100);
    EXPECT_EQ(frame(50, 76), 100);
    EXPECT_EQ(frame(9, 73), 100);

    screen.mouseMove(210, 70);
    screen.mousePress(210, 70, false);
    EXPECT_TRUE(screen.seekDrag());
    screen.mouseRelease(210, 70, false);
    EXPECT_EQ(commands.last(), "seek 1");
    screen.mouseMove(211, 70);
    screen.mousePress(211, 70, false);
    EXPECT_FALSE(screen.seekDrag());
}

TEST_F(ScreenTest, PauseGlyphBlinksOnTheBackground) {
    QByteArray mask(35200, '\0');
    mask[(79 - 40) * 220 + 110] = 1;  // one pixel at screen (110, 40)
    screen.setPauseMask(mask);
    PlayerState s;
    s.playing = s.songOpen = s.paused = true;
    screen.setState(s);
    std::vector<int> seen;
    for (int i = 0; i < 8; ++i) {
        screen.tick(dpb);
        seen.push_back(frame(110, 40));
    }
    EXPECT_EQ(seen, (std::vector<int>{100, 100, 100, 255, 255, 255, 255, 100}));
    // Entry 255 of the palette is black whatever the picture said.
    EXPECT_EQ(screen.colorTable().at(255), qRgb(0, 0, 0));
}

// A new song slides in within about half a second; a line that changes during the song (a tag
// field showing the time) does not start the slide again.
TEST_F(ScreenTest, NewSongsSlideInBrieflyAndMessagesCountDown) {
    PlayerState s;
    s.line1 = "a title";
    s.playing = true;
    s.playback = 1;
    screen.setState(s);
    EXPECT_EQ(screen.slide(), ScreenDisplay::kSlideStart);
    for (int i = 0; i < 6; ++i) screen.tick(dpb);
    EXPECT_EQ(screen.slide(), 0);
    s.line1 = "0:01 / 3:00";
    screen.setState(s);
    EXPECT_EQ(screen.slide(), 0) << "the time ticking is no new song";
    s.playback = 2;
    screen.setState(s);
    EXPECT_GT(screen.slide(), 0) << "the next song";
    for (int i = 0; i < 6; ++i) screen.tick(dpb);
    s.playing = false;
    s.line1 = "file not found";
    screen.setState(s);
    EXPECT_GT(screen.slide(), 0) << "a message while stopped";

    screen.showMessage("hello");
    screen.startCredits();
    EXPECT_TRUE(screen.creditsMode());
    screen.showMessage("again");
    EXPECT_FALSE(screen.creditsMode());
    for (int i = 0; i < 20; ++i) screen.tick(dpb);
    EXPECT_EQ(screen.messageCountdown(), 0);
}

// A title too wide for the screen moves while its song plays and stands at its start once
// playback stops (at the end, on an error or by the user).
TEST_F(ScreenTest, LongTitlesMoveOnlyWhileASongIsHeard) {
    PlayerState s;
    s.line1 = QString(60, 'W');
    s.playing = true;
    s.playback = 1;
    screen.setState(s);
    for (int i = 0; i < 20; ++i) screen.tick(dpb);
    EXPECT_GT(screen.titlePos(), 0);
    s.playing = false;
    screen.setState(s);
    for (int i = 0; i < 20; ++i) screen.tick(dpb);
    EXPECT_EQ(screen.titlePos(), 0);
    const int held = screen.titlePos();
    screen.tick(dpb);
    EXPECT_EQ(screen.titlePos(), held);
}

// A steady picture is drawn once: a playing song costs a redraw when its time changes.
TEST_F(ScreenTest, ASteadyPictureIsDrawnOnceAndAChangeDrawsAgain) {
    PlayerState s;
    s.line1 = "Song";
    s.line3 = "0:10";
    s.playing = true;
    s.songOpen = true;
    s.positionScale = 1024;
    screen.setState(s);
    for (int i = 0; i < 20; ++i) screen.tick(dpb);  // the slide-in ends
    (void)dpb.takeDirty();
    const int drawn = screen.drawnFrames();
    for (int i = 0; i < 10; ++i) screen.tick(dpb);
    EXPECT_EQ(screen.drawnFrames(), drawn);
    EXPECT_TRUE(dpb.takeDirty().isEmpty()) << "nothing for the window to repaint";
    const QImage before = screen.composed().copy();

    s.line3 = "0:11";
    screen.setState(s);
    screen.tick(dpb);
    EXPECT_EQ(screen.drawnFrames(), drawn + 1);
    EXPECT_FALSE(dpb.takeDirty().isEmpty());
    EXPECT_NE(screen.composed(), before);
    s.position = 512;  // the bar moves
    screen.setState(s);
    screen.tick(dpb);
    EXPECT_EQ(screen.drawnFrames(), drawn + 2);

    // A title too wide for the screen moves every tick, so it is drawn every tick.
    s.line1 = QString(60, 'W');
    screen.setState(s);
    for (int i = 0; i < 20; ++i) screen.tick(dpb);
    const int scrolling = screen.drawnFrames();
    for (int i = 0; i < 5; ++i) screen.tick(dpb);
    EXPECT_EQ(screen.drawnFrames(), scrolling + 5);
}

}  // namespace
}  // namespace ombrix::test
