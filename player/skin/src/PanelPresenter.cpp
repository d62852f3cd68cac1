#include "ombrix/skin/PanelPresenter.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "ombrix/control/OutputLevel.h"
#include "ombrix/skin/PanelCommands.h"
#include "ombrix/skin/PanelError.h"

namespace ombrix {
namespace {

constexpr int kToggles[] = {kRepeat, kShuffle, kIntro, kFx, kEq};

}  // namespace

PanelPresenter::PanelPresenter(PanelCommands& commands)
    : commands_(commands),
      screen_(commands),
      dpb2_(1, 1, 32),
      dpb_(ScreenDisplay::kWidth, ScreenDisplay::kHeight, 8),
      dpblcdtitle_(1, 1, 32),
      dpbvolume_(1, 1, 32) {}

void PanelPresenter::setOptions(const Options& options) {
    options_ = options;
    ScreenDisplay::Look look = options.screen;
    if (applied_) {
        look.changeCursor = panel_.changecursor;
        if (panel_.screenfontcolor != -1)
            look.color = QColor(SkinFile::rgbFromColorRef(panel_.screenfontcolor));
        if (panel_.lcdfontcolor != -1) {
            options_.lcdTitleColor = QColor(SkinFile::rgbFromColorRef(panel_.lcdfontcolor));
            options_.lcdVolumeColor = options_.lcdTitleColor;
        }
    }
    screen_.setLook(look);
}

QRect PanelPresenter::screenRect() const {
    return QRect(panel_.screenleft, panel_.screentop, ScreenDisplay::kWidth,
                 ScreenDisplay::kHeight);
}

QRect PanelPresenter::lcdTitleRect() const {
    const ButtonRect& b = panel_.button(kLcdTitle);
    return QRect(b.Left, b.Top, b.Right - b.Left + 1, b.Bottom - b.Top + 1);
}

QRect PanelPresenter::levelRect() const {
    const ButtonRect& b = panel_.button(kLedVolume);
    return QRect(b.Left, b.Top, std::max(1, b.Right - b.Left), std::max(1, b.Bottom - b.Top));
}

void PanelPresenter::apply(const QString& basePath) {
    SkinFile loaded = panel_;
    loaded.load(basePath);  // throws, leaving everything as it was
    panel_ = std::move(loaded);
    applied_ = true;
    highlighted_ = -1;
    highlightActive_ = false;
    dragElement_ = -1;

    const QImage& base = panel_.base();
    if (panel_.defined(kLcdTitle)) {
        const QRect r = lcdTitleRect();
        dpblcdtitle_.resize(r.width(), r.height());
        dpblcdtitle_.copyFrom(base, r, QPoint(0, 0));
        dpblcdtitle_.saveBackground();
    } else {
        dpblcdtitle_.freeBackground();
    }
    if (panel_.defined(kLedVolume)) {
        const QRect r = levelRect();
        dpbvolume_.resize(r.width(), r.height());
        dpbvolume_.copyFrom(base, r, QPoint(0, 0));
        dpbvolume_.saveBackground();
        meterHeights_ = {0, 0};  // the meter's background shows no bars
    } else {
        dpbvolume_.freeBackground();
    }
    setOptions(options_);  // the panel's colours and cursor choice
    dpb2_.resize(base.width(), base.height());
    dpb2_.copyFrom(base, base.rect(), QPoint(0, 0));
    drawToggles();
    drawPanFader();
    drawVolumeFader();
}

void PanelPresenter::setState(const PlayerState& state) {
    const bool volumeChanged = state.volume != volume_ && dragElement_ != kFaderVolume;
    const bool panChanged = state.pan != OutputLevel::roundedPan(pan_) && dragElement_ != kFaderPan;
    state_ = state;
    screen_.setState(state);
    if (volumeChanged) {
        volume_ = std::clamp(state.volume, 0, 127);
        drawVolumeFader();
    }
    if (panChanged) {
        pan_ = state.pan;
        drawPanFader();
    }
}

void PanelPresenter::copyElement(int element, const QImage& source) {
    const ButtonRect& b = panel_.button(element);
    const QRect r = b.rect();
    dpb2_.copyFrom(source, r, r.topLeft());
}

void PanelPresenter::drawToggle(int element, bool on) {
    if (!applied_ || !panel_.defined(element)) return;
    copyElement(element, on ? panel_.alternate() : panel_.base());
}

void PanelPresenter::drawToggles() {
    for (int e : kToggles) drawToggle(e, commands_.toggleState(e));
}

void PanelPresenter::drawVolumeFader() {
    if (!applied_) return;
    const QImage& base = panel_.base();
    const QImage& alt = panel_.alternate();
    if (panel_.defined(kFaderVolume)) {
        const ButtonRect& f = panel_.button(kFaderVolume);
        const int knob = panel_.fadervolumeknob;
        const int k = (std::max(0, panel_.volumeTravel) * volume_) >> 7;
        copyElement(kFaderVolume, base);
        dpb2_.copyFrom(alt, QRect(f.Left, f.Bottom - k, f.Right - f.Left, k),
                       QPoint(f.Left, f.Bottom - k));
        dpb2_.copyFrom(alt, QRect(f.Left, f.Top, f.Right - f.Left, knob),
                       QPoint(f.Left, f.Bottom - k - knob));
    }
    if (panel_.defined(kLcdVolume)) {
        const ButtonRect& l = panel_.button(kLcdVolume);
        copyElement(kLcdVolume, base);
        QPainter p(&dpb2_.image());
        p.setClipRect(l.rect());
        p.setFont(options_.lcdVolumeFont);
        p.setPen(options_.lcdVolumeColor);
        const QString text = QString::number(volume_);
        const QFontMetrics fm(options_.lcdVolumeFont);
        const int x = (l.Left + l.Right) / 2 - fm.horizontalAdvance(text) / 2;
        p.drawText(QPoint(x, l.Top + fm.ascent()), text);
    }
}

void PanelPresenter::drawPanFader() {
    if (!applied_ || !panel_.defined(kFaderPan)) return;
    const ButtonRect& f = panel_.button(kFaderPan);
    const int knob = panel_.faderpanknob;
    const int offset = (std::max(0, panel_.panTravel) * (std::clamp(pan_, -127, 129) + 127)) >> 8;
    copyElement(kFaderPan, panel_.base());
    dpb2_.copyFrom(panel_.alternate(), QRect(f.Left, f.Top, knob, f.Bottom - f.Top),
                   QPoint(f.Left + offset, f.Top));
}

void PanelPresenter::drawLevelMeter(int left, int right) {
    if (!applied_ || !panel_.defined(kLedVolume)) return;
    left = std::clamp(left, 0, 32767);
    right = std::clamp(right, 0, 32767);
    const ButtonRect& m = panel_.button(kLedVolume);
    const int half = (m.Right - m.Left) / 2;
    const int hL = (m.Bottom - m.Top) * left / 32768;
    const int hR = (m.Bottom - m.Top) * right / 32768;
    // The bars are whole pixels: a level that moves within one draws nothing new.
    if (std::pair(hL, hR) == meterHeights_) return;
    meterHeights_ = {hL, hR};
    dpbvolume_.restoreBackground();
    const int h = dpbvolume_.height();
    const QImage& alt = panel_.alternate();
    dpbvolume_.copyFrom(alt, QRect(m.Left, m.Bottom - hL, half, hL), QPoint(0, h - hL));
    dpbvolume_.copyFrom(alt, QRect(m.Left + half, m.Bottom - hR, m.Right - m.Left - half, hR),
                        QPoint(half, h - hR));
}

void PanelPresenter::setVolumeFromFader(int y) {
    const ButtonRect& f = panel_.button(kFaderVolume);
    const int knob = panel_.fadervolumeknob;
    const int travel = panel_.volumeTravel;
    dragElement_ = kFaderVolume;
    // A fader without travel has no positions to choose from: it keeps the volume.
    if (travel <= 0) return;
    y = std::clamp(y, f.Top + knob, std::max(f.Top + knob, f.Bottom - 1));
    volume_ = std::clamp(127 - ((y - f.Top - knob) * 128) / travel, 0, 127);
    commands_.outputLevel(volume_, OutputLevel::roundedPan(pan_));
    drawVolumeFader();
}

void PanelPresenter::setPanFromFader(int x) {
    const ButtonRect& f = panel_.button(kFaderPan);
    const int knob = panel_.faderpanknob;
    const int travel = panel_.panTravel;
    dragElement_ = kFaderPan;
    if (travel <= 0) return;
    x = std::max(x, f.Left);
    x = std::min(x, f.Right - knob);
    pan_ = ((x - f.Left) * 256) / travel - 127;
    const int p = OutputLevel::roundedPan(pan_);
    commands_.outputLevel(volume_, p);
    screen_.showMessage(p == 0 ? QStringLiteral("pan = center")
                               : QStringLiteral("pan = ") + QString::number(p));
    drawPanFader();
}

void PanelPresenter::updateButtonEnabling() {
    const bool playing = state_.playing;
    panel_.button(kOpen).enabled = commands_.openAllowed();
    panel_.button(kPlay).enabled = !playing;
    for (int e : {kStop, kPause, kForward, kRewind}) panel_.button(e).enabled = playing;
    panel_.button(kNext).enabled = state_.count > 1;
    panel_.button(kPrev).enabled = state_.count > 1;
}

bool PanelPresenter::hover(int element, int x, int y) {
    if (!panel_.button(element).hitTest(x, y)) return false;
    if (highlightActive_ && highlighted_ >= 0 && highlighted_ != element) clearHighlight();
    highlightActive_ = true;
    if (element != highlighted_) {
        if (panel_.hasAlternate()) copyElement(element, panel_.alternate());
        highlighted_ = element;
        screen_.setHint(hintFor(element));
    }
    return true;
}

void PanelPresenter::clearHighlight() {
    if (!highlightActive_) return;
    highlightActive_ = false;
    const int e = highlighted_;
    if (e >= 0 && panel_.hasAlternate()) copyElement(e, panel_.base());
    if (handCursor_) {
        handCursor_ = false;
        commands_.setHandCursor(false);
    }
    // Leaving a held button ends what it started, whatever the cursor showed.
    if ((e == kForward || e == kRewind) && seekHeld_) {
        seekHeld_ = false;
        commands_.seekReleased();
    }
    if ((e == kVolumeUp || e == kVolumeDown) && volumeHeld_) {
        volumeHeld_ = false;
        commands_.volumeReleased();
    }
    highlighted_ = -1;
}

void PanelPresenter::tick(double levelLeft, double levelRight, bool windowVisible) {
    if (!applied_ || !windowVisible) return;
    // The meter follows what is heard; when nothing is (stopped, paused, between songs, or the
    // meter switched off) its bars go out rather than stay frozen.
    const bool heard = state_.playing && !state_.paused && !state_.sleeping;
    if (options_.enableVu && heard && panel_.defined(kLedVolume)) {
        drawLevelMeter(int(std::lround(std::clamp(levelLeft, 0.0, 32767.0))),
                       int(std::lround(std::clamp(levelRight, 0.0, 32767.0))));
        meterLit_ = true;
    } else if (meterLit_) {
        drawLevelMeter(0, 0);
        meterLit_ = false;
    }
    if (panel_.defined(kLcdTitle)) {
        drawLcdTitle();
        return;
    }
    screen_.tick(dpb_);
}

bool PanelPresenter::wantsTicks() const noexcept {
    return applied_ && (state_.playing || meterLit_ || screen_.animating());
}

QString PanelPresenter::lcdTitleText() const {
    if (state_.paused) return (screen_.pauseBlink() & 4) ? QStringLiteral("paused") : QString();
    QString text = state_.line1;
    if (!state_.line2.isEmpty()) {
        text += QStringLiteral(" / ") + state_.line2;
        while (!text.isEmpty() && text.back().unicode() <= 0x20) text.chop(1);
    }
    return text;
}

void PanelPresenter::drawLcdTitle() {
    if (!applied_ || !panel_.defined(kLcdTitle)) return;
    copyElement(kLcdTitle, panel_.base());
    if (state_.paused) screen_.countPauseBlink();
    const QString text = lcdTitleText();
    dpblcdtitle_.restoreBackground();
    QPainter p(&dpblcdtitle_.image());
    p.setFont(options_.lcdTitleFont);
    p.setPen(options_.lcdTitleColor);
    const QFontMetrics fm(options_.lcdTitleFont);
    const int overflow = fm.horizontalAdvance(text) + 8 - dpblcdtitle_.width();
    int x = 2;
    if (options_.screen.scrollTitle && overflow > 0)
        x = ScreenDisplay::scrollX(2, overflow, screen_.titlePos());
    p.drawText(QPoint(x, fm.ascent()), text);
    dpblcdtitle_.touchAll();
}

// ---------------------------------------------------------------------------------------------
// Mouse

bool PanelPresenter::pressCommon(bool rightButton) {
    if (state_.paused) {
        commands_.resume();
        state_.paused = false;
    }
    if (skipNextPress_ > 0) {
        --skipNextPress_;
        return false;
    }
    if (rightButton) return false;
    screen_.endCredits();
    mouseDown_ = true;
    windowDrag_ = false;
    dragStarted_ = false;
    return true;
}

void PanelPresenter::press(int x, int y, bool rightButton) {
    if (!applied_ || !pressCommon(rightButton)) return;
    pressPoint_ = QPoint(x, y);
    updateButtonEnabling();
    for (int i = 0; i < kPanelElementCount; ++i) {
        ButtonRect& b = panel_.button(i);
        if (b.defined && b.hitTest(x, y)) {
            dispatch(i, x, y);
            return;
        }
    }
    windowDrag_ = true;
    dragElement_ = -1;
}

void PanelPresenter::pressOther() {
    if (applied_) pressCommon(true);
}

void PanelPresenter::pressOnLevel(int x, int y, bool rightButton) {
    if (!applied_ || !pressCommon(rightButton)) return;
    pressPoint_ = QPoint(x, y);
    windowDrag_ = true;
}

void PanelPresenter::dispatch(int element, int x, int y) {
    switch (element) {
        case kOpen:
            commands_.openFiles();
            break;
        case kPlay:
            commands_.play();
            break;
        case kStop:
            commands_.stop();
            break;
        case kPause:
            commands_.pause();
            break;
        case kForward:
        case kRewind:
            seekHeld_ = true;
            commands_.seekHeld(element == kForward);
            break;
        case kEdit:
            commands_.showPlaylist();
            break;
        case kDj:
            commands_.showDjControl();
            break;
        case kExit:
            commands_.closeWindow();
            break;
        case kHide:
            commands_.hideWindow();
            break;
        case kVolumeUp:
        case kVolumeDown:
            volumeHeld_ = true;
            commands_.volumeHeld(element == kVolumeUp);
            break;
        case kNext:
            commands_.next();
            break;
        case kPrev:
            commands_.previous();
            break;
        case kPlug:
            commands_.pluginMenu(QPoint(x, y));
            break;
        case kSetup:
            commands_.configuration();
            break;
        case kRepeat:
        case kShuffle:
        case kIntro:
        case kFx:
        case kEq:
            commands_.toggle(element);
            drawToggle(element, commands_.toggleState(element));
            break;
        case kFaderVolume:
            setVolumeFromFader(y);
            break;
        case kFaderPan:
            setPanFromFader(x);
            break;
        default:
            windowDrag_ = true;
            dragElement_ = -1;
            break;
    }
}

void PanelPresenter::move(int x, int y) {
    if (!applied_) return;
    if (windowDrag_ && mouseDown_ && !dragStarted_ && QPoint(x, y) != pressPoint_) {
        // The window manager moves the window from here until the button is released.
        dragStarted_ = true;
        commands_.startWindowDrag();
    }
    screen_.leave();
    updateButtonEnabling();
    bool hit = false;
    if (dragElement_ == kFaderVolume) {
        setVolumeFromFader(y);
    } else if (dragElement_ == kFaderPan) {
        setPanFromFader(x);
    } else {
        for (int i = 0; i <= kSetup && !hit; ++i)
            if (panel_.defined(i)) hit = hover(i, x, y);
    }
    if (!hit && dragElement_ < 0) {
        clearHighlight();
        if (handCursor_) {
            handCursor_ = false;
            commands_.setHandCursor(false);
        }
        screen_.setHint(QString());
    } else if (hit && panel_.changecursor && !handCursor_) {
        handCursor_ = true;
        commands_.setHandCursor(true);
    }
}

void PanelPresenter::leave() {
    if (!applied_) return;
    clearHighlight();
    screen_.setHint(QString());
}

void PanelPresenter::releaseHeld() {
    if (seekHeld_) {
        seekHeld_ = false;
        commands_.seekReleased();
    }
    if (volumeHeld_) {
        volumeHeld_ = false;
        commands_.volumeReleased();
    }
}

void PanelPresenter::release() {
    dragElement_ = -1;
    releaseHeld();
    mouseDown_ = false;
    dragStarted_ = false;
    if (options_.firstTime) {
        options_.firstTime = false;
        commands_.firstRelease();
    }
}

void PanelPresenter::doubleClick() {
    if (windowDrag_ && options_.doubleClickCoolbar) {
        skipNextPress_ = 1;
        commands_.toggleCoolbar();
    }
    mouseDown_ = false;
}

QString PanelPresenter::hintFor(int element) {
    static const char* const kHints[] = {"open files",   "play",     "stop",      "pause",
                                         "fast forward", "rewind",   "playlist",  "DJ control",
                                         "exit",         "hide",     "volume up", "volume down",
                                         "next",         "previous", "plug-ins",  "configuration"};
    if (element < 0 || element > kSetup) return {};
    return QString::fromLatin1(kHints[element]);
}

QString PanelPresenter::tooltipFor(int element) {
    static const char* const kTips[kPanelElementCount] = {
        "Eject: open files",
        "Play",
        "Stop",
        "Pause (click anywhere on the panel to go on)",
        "Fast forward: hold",
        "Rewind: hold",
        "Playlist editor",
        "DJ control: effects, pitch and sample pads",
        "Exit",
        "Hide the window",
        "Volume up: hold",
        "Volume down: hold",
        "Next song",
        "Previous song",
        "Plug-ins: background, full screen, visualisation",
        "Settings",
        "Repeat: start the playlist again after its last song",
        "Shuffle: play the playlist in random order",
        "Intro: play the first 10 seconds of each song",
        "Effects on or off (set them in the DJ control)",
        "Equaliser on or off",
        "Volume: drag up or down",
        "Pan: drag left or right",
        "Volume",
        "Song title (drag to move the window)",
        "Level meter (drag to move the window)",
    };
    if (element < 0 || element >= kPanelElementCount) return {};
    return QString::fromLatin1(kTips[element]);
}

QString PanelPresenter::screenTooltip() {
    return QStringLiteral(
        "Point at the top for song numbers and click one to play it; "
        "click the bar to seek; double-click for the credits");
}

PanelPresenter::Tooltip PanelPresenter::tooltipAt(int x, int y) const {
    if (!applied_) return {};
    // The screen lies over the panel image: it answers first, as it takes the mouse there.
    if (showsScreen() && screenRect().contains(x, y)) return {screenTooltip(), screenRect()};
    for (int i = 0; i < kPanelElementCount; ++i) {
        const QRect r = panel_.button(i).rect();
        if (panel_.defined(i) && r.contains(x, y)) return {tooltipFor(i), r};
    }
    return {};
}

}  // namespace ombrix
