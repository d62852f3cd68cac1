#include "ombrix/windows/common/PanelPalette.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ombrix {
namespace {

/// Three bits a channel: coarse enough that a gradient falls into few bins.
constexpr int kBins = 512;
/// At most this many pixels are looked at, so a large panel costs no more than a small one.
constexpr double kMaxSamples = 65536.0;
/// A tone needs this share of the samples (1/500) to be taken as the accent.
constexpr int kAccentShare = 500;
/// Least chroma (largest minus smallest channel) of an accent.
constexpr int kMinAccentChroma = 60;
/// Least RGB distance between accent and face.
constexpr double kMinAccentDistance = 80.0;
/// Window backgrounds keep the face's hue but not its full saturation (HSV, 0..255).
constexpr int kMaxWindowSaturation = 96;

struct Bin {
    qint64 count = 0;
    qint64 r = 0, g = 0, b = 0;
    QColor mean() const {
        return count ? QColor(int(r / count), int(g / count), int(b / count)) : QColor();
    }
};

QColor mix(const QColor& a, const QColor& b, double t) {
    auto channel = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()),
                  channel(a.blue(), b.blue()));
}

QColor tamed(const QColor& c, int maxSaturation) {
    int h = 0, s = 0, v = 0;
    c.getHsv(&h, &s, &v);
    return s > maxSaturation ? QColor::fromHsv(h, maxSaturation, v) : c;
}

int chroma(const QColor& c) {
    return std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()});
}

double distance(const QColor& a, const QColor& b) {
    const double dr = a.red() - b.red(), dg = a.green() - b.green(), db = a.blue() - b.blue();
    return std::sqrt(dr * dr + dg * dg + db * db);
}

/// @p colour moved towards @p away in small steps until it stands out from @p background.
QColor standingOut(QColor colour, const QColor& background, const QColor& away, double least) {
    for (int i = 0; i < 20 && PanelPalette::contrast(colour, background) < least; ++i)
        colour = mix(colour, away, 0.15);
    return colour;
}

}  // namespace

double PanelPalette::luminance(const QColor& c) {
    auto linear = [](int channel) {
        const double v = channel / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

double PanelPalette::contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor PanelPalette::textOn(const QColor& background) {
    static const QColor softLight(0xf2, 0xf2, 0xf2), softDark(0x1a, 0x1a, 0x1a);
    const bool light = contrast(softLight, background) >= contrast(softDark, background);
    const QColor soft = light ? softLight : softDark;
    if (contrast(soft, background) >= kMinTextContrast) return soft;
    // Between the two the pure colours still reach the minimum (at worst about 4.6).
    return contrast(Qt::white, background) >= contrast(Qt::black, background) ? QColor(Qt::white)
                                                                              : QColor(Qt::black);
}

std::optional<PanelPalette::Colours> PanelPalette::measure(const QImage& image,
                                                           std::optional<QRgb> cutOut) {
    if (image.isNull()) return std::nullopt;
    const int w = image.width(), h = image.height();
    const int step = std::max(1, int(std::sqrt(double(w) * h / kMaxSamples)));
    const bool alpha = image.hasAlphaChannel();
    std::array<Bin, kBins> bins{};
    qint64 total = 0;
    for (int y = 0; y < h; y += step) {
        for (int x = 0; x < w; x += step) {
            const QRgb p = image.pixel(x, y);
            if (alpha && qAlpha(p) < 128) continue;
            if (cutOut && (p & 0xffffff) == (*cutOut & 0xffffff)) continue;
            const int r = qRed(p), g = qGreen(p), b = qBlue(p);
            Bin& bin = bins[std::size_t((r >> 5) << 6 | (g >> 5) << 3 | (b >> 5))];
            ++bin.count;
            bin.r += r;
            bin.g += g;
            bin.b += b;
            ++total;
        }
    }
    if (total == 0) return std::nullopt;
    const Bin& common = *std::max_element(
        bins.begin(), bins.end(), [](const Bin& a, const Bin& b) { return a.count < b.count; });
    Colours colours{common.mean(), kDefaultAccent};
    double best = 0;
    for (const Bin& bin : bins) {
        if (bin.count * kAccentShare < total) continue;
        const QColor m = bin.mean();
        if (chroma(m) < kMinAccentChroma || distance(m, colours.face) < kMinAccentDistance)
            continue;
        const double score = chroma(m) * std::sqrt(double(bin.count));
        if (score > best) {
            best = score;
            colours.accent = m;
        }
    }
    return colours;
}

QPalette PanelPalette::derive(const Colours& colours) {
    const QColor window = tamed(colours.face, kMaxWindowSaturation);
    const QColor windowText = textOn(window);
    // Light text means a dark scheme: lists go darker than the window, else lighter.
    const bool dark = luminance(windowText) > 0.5;
    const QColor towards = dark ? QColor(Qt::black) : QColor(Qt::white);
    const QColor away = dark ? QColor(Qt::white) : QColor(Qt::black);
    const QColor base = mix(window, towards, dark ? 0.35 : 0.75);
    const QColor text = textOn(base);
    const QColor button = dark ? mix(window, Qt::white, 0.10) : mix(window, Qt::white, 0.20);
    const QColor buttonText = textOn(button);
    const QColor highlight = standingOut(colours.accent, base, away, kMinSelectionContrast);
    const QColor link = standingOut(colours.accent, base, text, 3.0);

    QPalette p(windowText, button, mix(button, Qt::white, 0.30), mix(button, Qt::black, 0.40),
               mix(button, Qt::black, 0.20), text, QColor(Qt::white), base, window);
    p.setColor(QPalette::Midlight, mix(button, Qt::white, 0.15));
    p.setColor(QPalette::Shadow, mix(button, Qt::black, 0.70));
    p.setColor(QPalette::ButtonText, buttonText);
    p.setColor(QPalette::AlternateBase, mix(base, window, 0.35));
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, textOn(highlight));
    p.setColor(QPalette::Link, link);
    p.setColor(QPalette::LinkVisited, mix(link, text, 0.3));
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, mix(text, base, 0.4));
    // Disabled texts recede into their backgrounds on purpose.
    p.setColor(QPalette::Disabled, QPalette::WindowText, mix(windowText, window, 0.55));
    p.setColor(QPalette::Disabled, QPalette::Text, mix(text, base, 0.55));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, mix(buttonText, button, 0.55));
    p.setColor(QPalette::Disabled, QPalette::Highlight, mix(highlight, base, 0.5));
    p.setColor(QPalette::Disabled, QPalette::HighlightedText, mix(textOn(highlight), base, 0.4));
    return p;
}

}  // namespace ombrix
