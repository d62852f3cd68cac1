#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include "ombrix/control/PlayerState.h"
#include "ombrix/skin/DrawingSurface.h"
#include "ombrix/skin/ScreenDisplay.h"
#include "ombrix/skin/SkinFile.h"

namespace ombrix {

class PanelCommands;

/**
 * @brief The panel's behaviour without widgets: applies a loaded panel to its four surfaces,
 *        draws toggles, faders, the level meter, the LCD volume and the LCD title, and turns
 *        mouse events in image pixels into commands.
 *
 * Surfaces: dpb2 (the panel image, 32-bit), dpb (the 8-bit screen, see ScreenDisplay),
 * dpblcdtitle (the LCD title, one pixel larger than its element) and dpbvolume (the level
 * meter). Each surface reports the area it changed (DrawingSurface::takeDirty()).
 * Thread affinity: main thread.
 */
class PanelPresenter {
public:
    /// What the panel reads from the settings.
    struct Options {
        bool doubleClickCoolbar = false;
        bool firstTime = false;
        bool enableVu = true;
        QFont lcdTitleFont;
        QColor lcdTitleColor{Qt::black};
        QFont lcdVolumeFont;
        QColor lcdVolumeColor{Qt::black};
        ScreenDisplay::Look screen;
    };

    explicit PanelPresenter(PanelCommands& commands);

    void setOptions(const Options& options);
    const Options& options() const noexcept { return options_; }

    /**
     * @brief Loads the panel at @p basePath and lays the surfaces out for it.
     * @throws PanelError when the panel cannot be loaded; the current panel stays.
     */
    void apply(const QString& basePath);
    bool applied() const noexcept { return applied_; }

    SkinFile& panel() noexcept { return panel_; }
    const SkinFile& panel() const noexcept { return panel_; }
    ScreenDisplay& screen() noexcept { return screen_; }
    DrawingSurface& dpb2() noexcept { return dpb2_; }
    DrawingSurface& dpb() noexcept { return dpb_; }
    DrawingSurface& dpblcdtitle() noexcept { return dpblcdtitle_; }
    DrawingSurface& dpbvolume() noexcept { return dpbvolume_; }

    /// Where the screen, the LCD title and the level meter sit on the panel, and which show.
    QRect screenRect() const;
    QRect lcdTitleRect() const;
    QRect levelRect() const;
    bool showsScreen() const { return applied_ && !panel_.defined(kLcdTitle); }
    bool showsLcdTitle() const { return applied_ && panel_.defined(kLcdTitle); }
    bool showsLevel() const { return applied_ && panel_.defined(kLedVolume); }

    /// The player's state: volume and pan (unless a fader is held), what plays.
    void setState(const PlayerState& state);
    int volume() const noexcept { return volume_; }
    int pan() const noexcept { return pan_; }

    void drawToggle(int element, bool on);
    /// The five toggles from the commands' toggle states.
    void drawToggles();
    void drawVolumeFader();
    void drawPanFader();
    /// Levels 0..32767 (more counts as 32767).
    void drawLevelMeter(int left, int right);
    void setVolumeFromFader(int y);
    void setPanFromFader(int x);
    void updateButtonEnabling();
    bool hover(int element, int x, int y);
    void clearHighlight();
    int highlighted() const noexcept { return highlighted_; }

    /// One display tick with the engine's levels already divided by 256.
    void tick(double levelLeft, double levelRight, bool windowVisible);
    /// The panel needs its tick: a song is heard or paused (time, meter, scrolling title, the
    /// blinking pause), the meter still has bars to put out, or the screen is animating.
    bool wantsTicks() const noexcept;
    void drawLcdTitle();

    // Panel image events, in image pixels.
    void press(int x, int y, bool rightButton);
    /// A press of another button (the middle one): only resumes a paused song.
    void pressOther();
    /// A press on the level meter: only starts a window drag.
    void pressOnLevel(int x, int y, bool rightButton);
    void move(int x, int y);
    /// The cursor left the panel: the lit element goes out, its hint and hand cursor too.
    void leave();
    void release();
    void doubleClick();

    int skipNextPress() const noexcept { return skipNextPress_; }
    bool windowDrag() const noexcept { return windowDrag_; }
    int dragElement() const noexcept { return dragElement_; }
    /// The text of element @p element for the screen's hint line.
    static QString hintFor(int element);
    /// What element @p element does, in a few words for a tooltip; empty for no element.
    static QString tooltipFor(int element);
    /// The tooltip of the screen (the panel's picture of the song, its bar and numbers).
    static QString screenTooltip();
    /// A tooltip and the panel area it belongs to (the pointer leaving it ends the tooltip).
    struct Tooltip {
        QString text;
        QRect area;
    };
    /// The tooltip for panel pixel (x, y): of the element there, the screen, or none (empty).
    Tooltip tooltipAt(int x, int y) const;

private:
    bool pressCommon(bool rightButton);
    void dispatch(int element, int x, int y);
    void releaseHeld();
    void copyElement(int element, const QImage& source);
    QString lcdTitleText() const;

    PanelCommands& commands_;
    Options options_;
    bool meterLit_ = false;  // the level meter shows bars
    std::pair<int, int> meterHeights_{-1, -1};  // the bars drawn, in pixels
    SkinFile panel_;
    ScreenDisplay screen_;
    DrawingSurface dpb2_;
    DrawingSurface dpb_;
    DrawingSurface dpblcdtitle_;
    DrawingSurface dpbvolume_;
    PlayerState state_;
    bool applied_ = false;
    int volume_ = 100;
    int pan_ = 0;
    int highlighted_ = -1;
    bool highlightActive_ = false;
    int dragElement_ = -1;
    bool mouseDown_ = false;
    bool windowDrag_ = false;
    bool dragStarted_ = false;
    QPoint pressPoint_;
    bool seekHeld_ = false;
    bool volumeHeld_ = false;
    int skipNextPress_ = 0;
    bool handCursor_ = false;
};

}  // namespace ombrix
