#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "ombrix/control/PlayerState.h"
#include "ombrix/skin/BumpBackground.h"

namespace ombrix {

class PanelCommands;
class DrawingSurface;

/// A background plug-in as the screen sees it: something that draws a 220 x 80 frame a tick.
class ScreenBackgroundSource {
public:
    virtual ~ScreenBackgroundSource() = default;
    /// Draws the next frame into @p frame (bottom-up rows of palette indices). Returns true when
    /// the colours changed, and then sets @p palette (256 entries).
    virtual bool drawFrame(uint8_t* frame, QList<QRgb>& palette) = 0;
};

/**
 * @brief The panel's 220 x 80 screen: the 8-bit frame buffer with its default background, the
 *        position bar and the pause glyph, and on top the title line that slides in and
 *        scrolls, the two other text lines, messages, hints, the credits roll and the grid of
 *        playlist numbers; plus the mouse on the screen (seek bar, grid, credits).
 *
 * tick() runs every 100 ms. The indexed pixels go to the 8-bit surface; the text is drawn on
 * composed(), the 32-bit picture of the surface that the window shows.
 * Thread affinity: main thread.
 */
class ScreenDisplay {
public:
    static constexpr int kWidth = 220;
    static constexpr int kHeight = 80;
    static constexpr int kPixels = kWidth * kHeight;
    static constexpr int kMessageTicks = 20;
    /// A new song's lines slide in from this far off their places, kSlideStep a tick: about
    /// half a second at ten ticks a second.
    static constexpr int kSlideStart = 48;
    static constexpr int kSlideStep = 8;
    /// Where the progress bar ends: the time on the third line never runs past it.
    static constexpr int kBarRight = 210;
    static constexpr int kVolumeMessageTicks = 10;
    static constexpr int kGridTicks = 30;
    static constexpr int kHintTicks = 30;
    static constexpr int kGridPage = 20;

    /// Fonts, colours and positions the screen draws with.
    struct Look {
        QFont font;
        QColor color{Qt::black};
        std::array<int, 3> left{8, 8, 140};
        std::array<int, 3> top{3, 22, 40};
        bool scrollTitle = true;
        bool useBlitra = false;
        bool changeCursor = true;
    };

    explicit ScreenDisplay(PanelCommands& commands);

    void setLook(const Look& look) {
        look_ = look;
        ++generation_;
    }
    const Look& look() const noexcept { return look_; }
    /// The default background: the first 220 x 80 pixels of @p image (8-bit with a palette;
    /// entry 255 becomes black). A null or unusable image gives a black screen.
    void setDefaultBackground(const QImage& image);
    /// The pause glyph: non-zero bytes of the first 17,600 of @p raw (bottom-up rows).
    void setPauseMask(const QByteArray& raw);

    /// The background each tick draws on: 0 the default picture, 1 the bump animation (its
    /// palette is made from @p light now), 2 and above the plug-in @p source (not owned; it
    /// must outlive the mode) with its first @p palette.
    void useDefaultBackground();
    void useBumpBackground(const BumpBackground::Light& light);
    void usePluginBackground(int mode, ScreenBackgroundSource* source, const QList<QRgb>& palette);
    int backgroundMode() const noexcept { return mode_; }
    const BumpBackground& bump() const noexcept { return bump_; }
    const QList<QRgb>& colorTable() const noexcept { return colors_; }

    /// Takes the player's state; new text lines start the slide-in, a stop slides from 40.
    void setState(const PlayerState& state);
    void setPlaylist(const QStringList& entries) { playlist_ = entries; }
    void setCredits(const QStringList& lines) { creditsLines_ = lines; }

    void showMessage(const QString& text, int ticks = kMessageTicks);
    /// The hint of the element under the cursor; empty clears it.
    void setHint(const QString& text);
    void startCredits();
    void endCredits() noexcept { credits_ = false; }

    /// One screen tick (the level meter and the LCD title are drawn by the panel).
    void tick(DrawingSurface& dpb);
    const QImage& composed() const noexcept { return composed_; }
    const std::vector<uint8_t>& frame() const noexcept { return frame_; }

    // Mouse on the screen, in screen pixels.
    void mouseMove(int x, int y);
    void mousePress(int x, int y, bool rightButton);
    void mouseRelease(int x, int y, bool rightButton);
    void doubleClick() { startCredits(); }
    /// A move over the panel ends the seek drag and the grid.
    void leave() noexcept {
        seekDrag_ = false;
        grid_ = false;
    }

    /**
     * @brief Where a line wider than its room is drawn on this tick, and the next position.
     * @param left where the line starts when it fits
     * @param overflow how many pixels it is too wide (> 0)
     * @param pos the scroll position, advanced by 2 and wrapped after 2 x overflow
     */
    static int scrollX(int left, int overflow, int& pos) noexcept;

    // State, for the panel and for tests.
    int slide() const noexcept { return slide_; }
    bool gridMode() const noexcept { return grid_; }
    int gridPage() const noexcept { return gridPage_; }
    const QString& hovered() const noexcept { return hovered_; }
    bool seekDrag() const noexcept { return seekDrag_; }
    bool creditsMode() const noexcept { return credits_; }
    int messageCountdown() const noexcept { return messageCountdown_; }
    /// Credits, the number grid, a message or the title slide are moving.
    bool animating() const noexcept {
        return mode_ != 0 || credits_ || grid_ || messageCountdown_ > 0 || slide_ > 0;
    }
    /// The title scroll position, shared with the LCD title.
    int& titlePos() noexcept { return titlePos_; }
    /// Ticks that drew the screen (a tick whose picture would be the one shown draws nothing).
    int drawnFrames() const noexcept { return drawnFrames_; }
    int pauseBlink() const noexcept { return pauseBlink_; }
    void countPauseBlink() noexcept { ++pauseBlink_; }

private:
    void drawBackground();
    void drawBar(int played, int rest);
    /// The played part of the bar in pixels (0..200).
    int barLength() const noexcept;
    /// Where the first line starts on this tick; advances the title's scroll.
    int titleX(const QFontMetrics& fm);
    void present(DrawingSurface& dpb);
    void drawText(class QPainter& p, int x, int y, const QString& text) const;

    PanelCommands& commands_;
    Look look_;
    PlayerState state_;
    QStringList playlist_;
    QStringList creditsLines_;
    std::vector<uint8_t> frame_;
    std::vector<uint8_t> defaultBackground_;
    std::vector<uint8_t> pauseMask_;
    QList<QRgb> colors_;
    QList<QRgb> defaultColors_;
    int mode_ = 0;
    BumpBackground bump_;
    ScreenBackgroundSource* plugin_ = nullptr;
    QImage composed_;
    int slide_ = 0;
    int titlePos_ = 0;
    // What a steady picture (no animation running) was drawn from: a tick that would draw the
    // same skips drawing, so a playing song costs a redraw when its time changes, not ten a
    // second.
    struct SteadyFrame {
        QString line1, line2, line3;
        int bar = 0;
        int titleX = 0;
        quint64 generation = 0;
        bool operator==(const SteadyFrame&) const = default;
    };
    std::optional<SteadyFrame> lastSteady_;
    quint64 generation_ = 0;  // counts changes of the look and the background
    QString measuredTitle_;   // the first line whose width titleAdvance_ is
    quint64 measuredGeneration_ = ~quint64{0};
    int titleAdvance_ = 0;
    int drawnFrames_ = 0;
    QString message_;
    int messageCountdown_ = 0;
    QString hint_;
    bool hintActive_ = false;
    int hintCountdown_ = 0;
    bool grid_ = false;
    int gridPage_ = 0;
    int gridCountdown_ = 0;
    QString hovered_;
    bool seekDrag_ = false;
    int lastX_ = 0;
    bool credits_ = false;
    int creditsOffset_ = 0;
    unsigned frameCounter_ = 0;
    unsigned pauseBlink_ = 0;
    unsigned seekBlink_ = 0;
    bool handCursor_ = false;
};

}  // namespace ombrix
