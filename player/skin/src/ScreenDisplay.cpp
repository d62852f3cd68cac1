#include "ombrix/skin/ScreenDisplay.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "ombrix/skin/DrawingSurface.h"
#include "ombrix/skin/PanelCommands.h"

namespace ombrix {
namespace {

// The bar lies on screen rows 71..75 (counted from the top).
constexpr int kBarTop = 71;
constexpr int kBarBottom = 75;

inline void addSaturated(uint8_t& px, int amount) {
    px = static_cast<uint8_t>(std::min(255, px + amount));
}

}  // namespace

ScreenDisplay::ScreenDisplay(PanelCommands& commands)
    : commands_(commands),
      frame_(kPixels, 0),
      defaultBackground_(kPixels, 0),
      colors_(256, qRgb(0, 0, 0)),
      composed_(kWidth, kHeight, QImage::Format_RGB32) {
    composed_.fill(Qt::black);
}

void ScreenDisplay::setDefaultBackground(const QImage& image) {
    ++generation_;
    std::fill(defaultBackground_.begin(), defaultBackground_.end(), uint8_t{0});
    defaultColors_ = QList<QRgb>(256, qRgb(0, 0, 0));
    if (mode_ == 0) colors_ = defaultColors_;
    if (image.format() != QImage::Format_Indexed8) return;
    QList<QRgb> table = image.colorTable().mid(0, 256);
    while (table.size() < 256) table.append(qRgb(0, 0, 0));
    table[255] = qRgb(0, 0, 0);
    defaultColors_ = table;
    if (mode_ == 0) colors_ = table;
    const int w = std::min(kWidth, image.width());
    for (int y = 0; y < std::min(kHeight, image.height()); ++y) {
        // Stored row 0 is the lowest row of the picture.
        uint8_t* dst = defaultBackground_.data() + size_t(kHeight - 1 - y) * kWidth;
        std::memcpy(dst, image.constScanLine(y), size_t(w));
    }
}

void ScreenDisplay::setPauseMask(const QByteArray& raw) {
    ++generation_;
    pauseMask_.assign(size_t(kPixels), uint8_t{0});
    std::memcpy(pauseMask_.data(), raw.constData(),
                size_t(std::min<qsizetype>(raw.size(), kPixels)));
}

void ScreenDisplay::useDefaultBackground() {
    ++generation_;
    mode_ = 0;
    plugin_ = nullptr;
    colors_ = defaultColors_;
}

void ScreenDisplay::useBumpBackground(const BumpBackground::Light& light) {
    ++generation_;
    mode_ = 1;
    plugin_ = nullptr;
    colors_ = BumpBackground::palette(light);
}

void ScreenDisplay::usePluginBackground(int mode, ScreenBackgroundSource* source,
                                        const QList<QRgb>& palette) {
    ++generation_;
    mode_ = std::max(2, mode);
    plugin_ = source;
    colors_ = palette.size() == 256 ? palette : QList<QRgb>(256, qRgb(0, 0, 0));
}

void ScreenDisplay::setState(const PlayerState& state) {
    // A new song's lines slide in; so do new lines while nothing plays (a message about an
    // entry). A line that changes during a song (a tag field showing the time) does not
    // restart the slide.
    const bool newSong = state.playback != state_.playback;
    const bool newText = state.line1 != state_.line1 || state.line2 != state_.line2;
    if (newSong || (newText && !state.playing)) {
        slide_ = kSlideStart;
        titlePos_ = 0;
    }
    if (state_.playing && !state.playing) slide_ = 40;
    if (!state.statusText.isEmpty() && state.statusText != state_.statusText)
        showMessage(state.statusText, state.statusText.startsWith(QLatin1String("volume: "))
                                          ? kVolumeMessageTicks
                                          : kMessageTicks);
    state_ = state;
}

void ScreenDisplay::showMessage(const QString& text, int ticks) {
    message_ = text;
    messageCountdown_ = ticks;
    credits_ = false;
}

void ScreenDisplay::setHint(const QString& text) {
    hint_ = text;
    hintActive_ = !text.isEmpty();
    hintCountdown_ = 0;
}

void ScreenDisplay::startCredits() {
    creditsOffset_ = kHeight;
    credits_ = true;
}

int ScreenDisplay::scrollX(int left, int overflow, int& pos) noexcept {
    const int x = pos < overflow ? left - pos : left - 2 * overflow + pos;
    pos += 2;
    if (pos > 2 * overflow) pos = 0;
    return x;
}

int ScreenDisplay::barLength() const noexcept {
    if (grid_ || !state_.songOpen || state_.positionScale <= 0) return 0;
    const int p = int(qint64(state_.position) * 200 / state_.positionScale);
    return p > 200 || p < 0 ? 0 : p;
}

int ScreenDisplay::titleX(const QFontMetrics& fm) {
    // Measured once per title and look: shaping the text every tick costs more than the rest.
    if (measuredTitle_ != state_.line1 || measuredGeneration_ != generation_) {
        measuredTitle_ = state_.line1;
        measuredGeneration_ = generation_;
        titleAdvance_ = fm.horizontalAdvance(state_.line1);
    }
    const int overflow = look_.left[0] + titleAdvance_ - 210;
    int x = look_.left[0] - slide_;
    // The title moves only while a song is heard: a stop, a pause or an error holds it.
    const bool heard = state_.playing && !state_.paused;
    if (look_.scrollTitle && slide_ == 0 && overflow > 0 && heard)
        x = scrollX(look_.left[0], overflow, titlePos_);
    else if (overflow > 0 && !heard)
        titlePos_ = 0;
    return x;
}

void ScreenDisplay::drawBackground() {
    if (mode_ == 1) {
        bump_.drawFrame(defaultBackground_.data(), slide_, frame_.data());
    } else if (mode_ >= 2 && plugin_) {
        QList<QRgb> palette;
        if (plugin_->drawFrame(frame_.data(), palette) && palette.size() == 256) colors_ = palette;
    } else {
        std::memcpy(frame_.data(), defaultBackground_.data(), frame_.size());
    }
}

void ScreenDisplay::drawBar(int played, int rest) {
    if (grid_ || !state_.songOpen || state_.positionScale <= 0) return;
    int p = barLength();
    if (seekDrag_ && (seekBlink_++ & 4)) p = std::clamp(lastX_ - 10, 0, 200);
    for (int row = kBarTop; row <= kBarBottom; ++row) {
        uint8_t* line = frame_.data() + size_t(kHeight - 1 - row) * kWidth;
        if (p > 0)
            for (int x = 10; x <= 10 + p; ++x) addSaturated(line[x], played);
        if (rest > 0)
            for (int x = 11 + p; x <= kBarRight; ++x) addSaturated(line[x], rest);
    }
}

void ScreenDisplay::present(DrawingSurface& dpb) {
    dpb.setColorTable(colors_);
    dpb.copyFrame(frame_.data(), look_.useBlitra);
    // The picture the window shows: the indexed pixels through the colour table.
    const QImage& src = dpb.image();
    const int w = std::min(kWidth, src.width());
    const int h = std::min(kHeight, src.height());
    for (int y = 0; y < h; ++y) {
        const uchar* in = src.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(composed_.scanLine(y));
        for (int x = 0; x < w; ++x) out[x] = colors_[in[x]];
    }
}

void ScreenDisplay::drawText(QPainter& p, int x, int y, const QString& text) const {
    if (text.isEmpty()) return;
    p.drawText(QPoint(x, y + p.fontMetrics().ascent()), text);
}

void ScreenDisplay::tick(DrawingSurface& dpb) {
    ++frameCounter_;
    const QFontMetrics fm(look_.font);
    const bool steady = mode_ == 0 && !state_.paused && !credits_ && !grid_ && messageCountdown_ == 0 &&
                        !hintActive_ && slide_ == 0 && !seekDrag_;
    int steadyTitleX = 0;
    if (steady) {
        steadyTitleX = titleX(fm);
        SteadyFrame frame{state_.line1, state_.line2, state_.line3, barLength(), steadyTitleX,
                          generation_};
        if (lastSteady_ && *lastSteady_ == frame) return;  // the picture shown already
        lastSteady_ = std::move(frame);
    } else {
        lastSteady_.reset();
    }
    ++drawnFrames_;
    drawBackground();
    // The bar's shades suit each background: on the bump's dark relief a half-bright bar, on
    // the first plug-in a bright played part over a dimmer rest.
    const int played = mode_ == 1 ? 128 : mode_ == 2 ? 192 : 255;
    const int rest = mode_ == 2 ? 128 : 0;
    drawBar(played, rest);

    if (state_.paused) {
        if (++pauseBlink_ & 4 && !pauseMask_.empty())
            for (int i = 0; i < kPixels; ++i)
                if (pauseMask_[size_t(i)]) addSaturated(frame_[size_t(i)], played);
        present(dpb);
        return;
    }
    present(dpb);

    QPainter p(&composed_);
    p.setFont(look_.font);
    p.setPen(look_.color);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont small = look_.font;
    small.setPixelSize(std::max(1, QFontMetrics(look_.font).height() * 2 / 3));

    if (credits_) {
        int drawn = 0;
        for (int i = 0; i < creditsLines_.size(); ++i) {
            const int y = creditsOffset_ + 20 * i;
            if (y > kHeight) break;
            drawText(p, 10, y, creditsLines_.at(i));
            ++drawn;
        }
        --creditsOffset_;
        if (creditsOffset_ + 20 * drawn < -20) credits_ = false;
    } else if (grid_) {
        if (++gridCountdown_ >= kGridTicks) grid_ = false;
        const int count = int(playlist_.size());
        const int first = gridPage_ * kGridPage;
        if (count > kGridPage) drawText(p, 180, 40, QStringLiteral("+"));
        for (int cell = 0; cell < kGridPage; ++cell) {
            const int index = first + cell;
            if (index >= count) break;
            if (index == state_.currentIndex && state_.playing && !(frameCounter_ & 4)) continue;
            drawText(p, 30 * (cell % 7), 20 * (cell / 7), QString::number(index + 1));
        }
        slide_ = slide_ > 4 ? slide_ - 4 : 0;
        p.setFont(small);
        drawText(p, 10, 60, QFileInfo(hovered_).fileName());
    } else {
        if (messageCountdown_ > 0) {
            const int y = messageCountdown_ <= 8 ? 3 * messageCountdown_ - 21 : 3;
            drawText(p, 8, y, message_);
            --messageCountdown_;
        } else {
            drawText(p, steady ? steadyTitleX : titleX(fm), look_.top[0], state_.line1);
        }
        drawText(p, look_.left[1] + slide_, look_.top[1], state_.line2);
        // The third line (the time, or a word such as "stopped") ends at the bar's end at the
        // latest, so that "-12:34 / 15:00" fits beside a far-right setting.
        const int line3 = std::min(look_.left[2], kBarRight - fm.horizontalAdvance(state_.line3));
        drawText(p, std::max(0, line3) + slide_, look_.top[2], state_.line3);
        if (hintActive_) {
            p.setFont(small);
            drawText(p, 10, 45, hint_);
            if (++hintCountdown_ > kHintTicks) hintActive_ = false;
        }
    }
    if (slide_ > 0) slide_ = std::max(0, slide_ - kSlideStep);
}

void ScreenDisplay::mouseMove(int x, int y) {
    lastX_ = x;
    if (!(state_.playing && y >= 66 && y <= 78 && x >= 10 && x <= 210)) seekDrag_ = false;
    const int count = int(playlist_.size());
    bool hand = false;
    if (y >= 0 && y < 60 && x >= 0 && x < 210 && count > 0) {
        if (count <= gridPage_ * kGridPage) gridPage_ = 0;
        const int cell = x / 30 + (y / 20) * 7;
        const int index = gridPage_ * kGridPage + cell;
        if (cell == kGridPage && count > kGridPage) {
            hovered_ = QStringLiteral("next page");
            hand = look_.changeCursor;
        } else if (cell < kGridPage && index < count) {
            hovered_ = playlist_.at(index);
            hand = look_.changeCursor;
        } else {
            hovered_.clear();
        }
        grid_ = true;
        gridCountdown_ = 0;
    } else {
        grid_ = false;
    }
    if (hand != handCursor_) {
        handCursor_ = hand;
        commands_.setHandCursor(hand);
    }
}

void ScreenDisplay::mousePress(int x, int y, bool rightButton) {
    if (rightButton) return;
    if (state_.playing && y >= 66 && y <= 78 && x >= 10 && x <= 210) {
        if (!seekDrag_) {
            seekDrag_ = true;
            seekBlink_ = 0;
        }
        return;
    }
    seekDrag_ = false;
    if (!grid_ || y < 0 || y >= 60 || x < 0 || x >= 210) return;
    const int count = int(playlist_.size());
    const int cell = x / 30 + (y / 20) * 7;
    if (cell == kGridPage) {
        if (count > kGridPage) gridPage_ = count > (gridPage_ + 1) * kGridPage ? gridPage_ + 1 : 0;
        return;
    }
    const int index = gridPage_ * kGridPage + cell;
    if (cell < kGridPage && index < count) commands_.playEntry(index);
}

void ScreenDisplay::mouseRelease(int x, int, bool rightButton) {
    if (rightButton) return;
    if (state_.playing && state_.songOpen && state_.positionScale > 0 && seekDrag_) {
        commands_.seekTo(std::clamp((x - 10) / 200.0, 0.0, 1.0));
        seekDrag_ = false;
    }
}

}  // namespace ombrix
