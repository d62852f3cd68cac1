#include "SkinArt.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

// The default skin: a graphite body with one teal accent, light glyphs, and a pale backlit
// screen. Every picture is vector drawing; the alternate image is the same drawing with each
// element in its highlighted or "on" state.
namespace ombrix::art {
namespace {

// The palette of the skin.
const QColor kBodyTop(0x2a, 0x30, 0x3a);
const QColor kBodyBottom(0x17, 0x1b, 0x22);
const QColor kFace(0x33, 0x3a, 0x46);
const QColor kFaceHot(0x3f, 0x4a, 0x58);
const QColor kEdge(0x0c, 0x0e, 0x12);
const QColor kGlyph(0xc4, 0xcd, 0xd6);
const QColor kAccent(0x3c, 0xe0, 0xc8);
const QColor kAccentDim(0x1d, 0x5e, 0x57);
const QColor kLcdDark(0x0b, 0x17, 0x1a);
// Cut out of the window (paneltype 2): the rounded corners.
const QColor kKey(0xff, 0x00, 0xff);

enum class Glyph {
    Open,
    Play,
    Stop,
    Pause,
    Forward,
    Rewind,
    Edit,
    Dj,
    Exit,
    Hide,
    Plus,
    Minus,
    Next,
    Prev,
    Plug,
    Setup
};

struct Element {
    const char* name;
    QRect rect;  // right and bottom exclusive as stored: QRect(x, y, w, h)
};

using Layout = std::vector<Element>;

void roundedFace(QPainter& p, const QRectF& r, bool hot, qreal radius = 4) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    const QColor face = hot ? kFaceHot : kFace;
    g.setColorAt(0, face.lighter(118));
    g.setColorAt(1, face.darker(112));
    p.setPen(QPen(kEdge, 1));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    // A thin top light gives the face some relief.
    p.setPen(QPen(QColor(255, 255, 255, hot ? 50 : 28), 1));
    p.drawLine(QPointF(r.left() + radius, r.top() + 1.5),
               QPointF(r.right() - radius, r.top() + 1.5));
    if (hot) {
        p.setPen(QPen(QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 140), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1, radius - 1);
    }
}

QPainterPath triangle(QPointF a, QPointF b, QPointF c) {
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    return path;
}

void drawGlyph(QPainter& p, Glyph g, const QRectF& r, const QColor& color) {
    const QPointF c = r.center();
    const qreal s = std::min(r.width(), r.height()) * 0.5;  // glyph box half size
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    QPainterPath path;
    auto rightTri = [&](qreal x, qreal w, qreal h) {
        return triangle({x, c.y() - h}, {x + w, c.y()}, {x, c.y() + h});
    };
    auto leftTri = [&](qreal x, qreal w, qreal h) {
        return triangle({x, c.y() - h}, {x - w, c.y()}, {x, c.y() + h});
    };
    const qreal h = s * 0.8;
    switch (g) {
        case Glyph::Play:
            path = rightTri(c.x() - h * 0.7, h * 1.6, h);
            break;
        case Glyph::Pause:
            path.addRoundedRect(QRectF(c.x() - h * 0.8, c.y() - h, h * 0.55, 2 * h), 1, 1);
            path.addRoundedRect(QRectF(c.x() + h * 0.25, c.y() - h, h * 0.55, 2 * h), 1, 1);
            break;
        case Glyph::Stop:
            path.addRoundedRect(QRectF(c.x() - h * 0.85, c.y() - h * 0.85, h * 1.7, h * 1.7), 1.5,
                                1.5);
            break;
        case Glyph::Forward:
            path = rightTri(c.x() - h * 1.1, h * 1.1, h * 0.8);
            path.addPath(rightTri(c.x(), h * 1.1, h * 0.8));
            break;
        case Glyph::Rewind:
            path = leftTri(c.x() + h * 1.1, h * 1.1, h * 0.8);
            path.addPath(leftTri(c.x(), h * 1.1, h * 0.8));
            break;
        case Glyph::Next:
            path = rightTri(c.x() - h * 0.9, h * 1.3, h * 0.85);
            path.addRect(QRectF(c.x() + h * 0.5, c.y() - h * 0.85, h * 0.38, h * 1.7));
            break;
        case Glyph::Prev:
            path = leftTri(c.x() + h * 0.9, h * 1.3, h * 0.85);
            path.addRect(QRectF(c.x() - h * 0.88, c.y() - h * 0.85, h * 0.38, h * 1.7));
            break;
        case Glyph::Open:
            path = triangle({c.x() - h, c.y() + h * 0.15}, {c.x(), c.y() - h},
                            {c.x() + h, c.y() + h * 0.15});
            path.addRect(QRectF(c.x() - h, c.y() + h * 0.45, 2 * h, h * 0.45));
            break;
        case Glyph::Plus:
            path.addRect(QRectF(c.x() - h * 0.8, c.y() - h * 0.16, h * 1.6, h * 0.32));
            path.addRect(QRectF(c.x() - h * 0.16, c.y() - h * 0.8, h * 0.32, h * 1.6));
            path.setFillRule(Qt::WindingFill);
            break;
        case Glyph::Minus:
            path.addRect(QRectF(c.x() - h * 0.8, c.y() - h * 0.16, h * 1.6, h * 0.32));
            break;
        case Glyph::Exit: {
            p.setPen(QPen(color, std::max(1.4, s * 0.22), Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            const qreal k = h * 0.7;
            p.drawLine(QPointF(c.x() - k, c.y() - k), QPointF(c.x() + k, c.y() + k));
            p.drawLine(QPointF(c.x() + k, c.y() - k), QPointF(c.x() - k, c.y() + k));
            return;
        }
        case Glyph::Hide:
            path.addRoundedRect(QRectF(c.x() - h * 0.8, c.y() + h * 0.25, h * 1.6, h * 0.38), 1, 1);
            break;
        case Glyph::Edit:
            for (int i = -1; i <= 1; ++i) {
                path.addRect(
                    QRectF(c.x() - h * 0.9, c.y() + i * h * 0.6 - h * 0.12, h * 0.3, h * 0.26));
                path.addRect(
                    QRectF(c.x() - h * 0.45, c.y() + i * h * 0.6 - h * 0.12, h * 1.35, h * 0.26));
            }
            break;
        case Glyph::Dj: {
            p.setPen(QPen(color, 1.3));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(c, h * 0.95, h * 0.95);
            p.setPen(Qt::NoPen);
            p.setBrush(color);
            p.drawEllipse(c, h * 0.28, h * 0.28);
            return;
        }
        case Glyph::Plug:
            path.addRoundedRect(QRectF(c.x() - h * 0.7, c.y() - h * 0.35, h * 1.4, h * 0.9), 2, 2);
            path.addRect(QRectF(c.x() - h * 0.45, c.y() - h * 0.95, h * 0.22, h * 0.6));
            path.addRect(QRectF(c.x() + h * 0.23, c.y() - h * 0.95, h * 0.22, h * 0.6));
            path.addRect(QRectF(c.x() - h * 0.12, c.y() + h * 0.55, h * 0.24, h * 0.45));
            path.setFillRule(Qt::WindingFill);
            break;
        case Glyph::Setup: {
            // A gear: teeth around a ring.
            QPainterPath gear;
            const int teeth = 8;
            for (int i = 0; i < teeth * 2; ++i) {
                const qreal a = M_PI * i / teeth;
                const qreal rad = (i % 2 == 0) ? h * 1.0 : h * 0.72;
                const qreal a0 = a - M_PI / (teeth * 2.4), a1 = a + M_PI / (teeth * 2.4);
                const QPointF p0(c.x() + rad * std::cos(a0), c.y() + rad * std::sin(a0));
                const QPointF p1(c.x() + rad * std::cos(a1), c.y() + rad * std::sin(a1));
                if (i == 0)
                    gear.moveTo(p0);
                else
                    gear.lineTo(p0);
                gear.lineTo(p1);
            }
            gear.closeSubpath();
            QPainterPath hole;
            hole.addEllipse(c, h * 0.32, h * 0.32);
            path = gear.subtracted(hole);
            break;
        }
    }
    p.drawPath(path);
}

QFont uiFont(int pixels, bool bold = true) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

// Small labels: bold and fully hinted, so that their stems fall on whole pixels.
QFont labelFont(int pixels) {
    QFont f = uiFont(pixels);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

void button(QPainter& p, const QRect& r, Glyph g, bool hot) {
    roundedFace(p, r, hot);
    drawGlyph(p, g, QRectF(r).adjusted(2, 2, -2, -2), hot ? kAccent : kGlyph);
}

// A toggle: a small lamp and a label; "on" lights both.
void toggle(QPainter& p, const QRect& r, const QString& label, bool on) {
    roundedFace(p, r, false, 3);
    const QPointF lamp(r.left() + 7.5, r.center().y() + 0.5);
    if (on) {
        QRadialGradient glow(lamp, 6);
        glow.setColorAt(0, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 170));
        glow.setColorAt(1, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(lamp, 6, 6);
    }
    p.setPen(QPen(kEdge, 0.8));
    p.setBrush(on ? kAccent : kAccentDim.darker(140));
    p.drawEllipse(lamp, 2.6, 2.6);
    // The label is small: fully hinted bold glyphs on a whole-pixel baseline, as large as the
    // space allows, in the glyph colour (off) or the accent (on), both far from the face.
    const QRect text = r.adjusted(12, 0, -2, 0);
    QFont font = labelFont(10);
    while (font.pixelSize() > 8 && QFontMetrics(font).horizontalAdvance(label) > text.width())
        font.setPixelSize(font.pixelSize() - 1);
    const QFontMetrics fm(font);
    const int baseline = text.top() + (text.height() + fm.ascent() - fm.descent()) / 2;
    p.setFont(font);
    p.setPen(on ? kAccent.lighter(115) : kGlyph);
    p.drawText(QPoint(text.left(), baseline), label);
}

void lcdBox(QPainter& p, const QRect& r) {
    p.setPen(QPen(kEdge, 1));
    p.setBrush(kLcdDark);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    p.setPen(QPen(QColor(255, 255, 255, 20), 1));
    p.drawLine(QPointF(r.left() + 2, r.bottom() + 0.5), QPointF(r.right() - 1, r.bottom() + 0.5));
}

// The level meter: two columns of segments; lit from green-teal at the bottom to amber on top.
void levelMeter(QPainter& p, const QRect& r, bool lit) {
    p.setPen(Qt::NoPen);
    p.setBrush(kLcdDark);
    p.drawRect(r);
    const int half = r.width() / 2;
    for (int col = 0; col < 2; ++col) {
        const int x0 = r.left() + col * half + 2;
        const int w = (col == 0 ? half : r.width() - half) - 4;
        for (int y = r.bottom() - 2; y > r.top(); y -= 3) {
            const qreal t = qreal(r.bottom() - y) / r.height();
            QColor c = t < 0.7 ? kAccent
                               : (t < 0.88 ? QColor(0xf2, 0xc1, 0x4e) : QColor(0xf2, 0x5f, 0x4c));
            if (!lit) c = QColor(c.red() / 6 + 14, c.green() / 6 + 20, c.blue() / 6 + 22);
            p.setBrush(c);
            p.drawRect(QRect(x0, y - 1, w, 2));
        }
    }
}

void volumeFader(QPainter& p, const QRect& r, int knob, bool alt) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBodyBottom.darker(115));
    p.drawRect(r);
    const QRectF groove(r.center().x() - 2.5, r.top() + 3, 5, r.height() - 6);
    p.setBrush(kEdge);
    p.drawRoundedRect(groove, 2.5, 2.5);
    if (!alt) return;
    // Alternate image: the filled groove, and the knob in the element's top strip.
    QLinearGradient g(groove.topLeft(), groove.bottomLeft());
    g.setColorAt(0, kAccent);
    g.setColorAt(1, kAccentDim);
    p.setBrush(g);
    p.drawRoundedRect(groove, 2.5, 2.5);
    p.setBrush(kBodyBottom.darker(115));
    p.drawRect(QRect(r.left(), r.top(), r.width(), knob));
    const QRectF k(r.left() + 0.5, r.top() + 0.5, r.width() - 1, knob - 1);
    QLinearGradient kg(k.topLeft(), k.bottomLeft());
    kg.setColorAt(0, QColor(0xe4, 0xea, 0xef));
    kg.setColorAt(1, QColor(0x9a, 0xa5, 0xb0));
    p.setPen(QPen(kEdge, 1));
    p.setBrush(kg);
    p.drawRoundedRect(k, 2, 2);
    p.setPen(QPen(kAccent.darker(130), 1));
    p.drawLine(QPointF(k.left() + 3, k.center().y()), QPointF(k.right() - 3, k.center().y()));
}

void panFader(QPainter& p, const QRect& r, int knob, bool alt) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBodyBottom.darker(115));
    p.drawRect(r);
    const QRectF groove(r.left() + 3, r.center().y() - 2, r.width() - 6, 4);
    p.setBrush(kEdge);
    p.drawRoundedRect(groove, 2, 2);
    // A centre mark.
    p.setBrush(kGlyph.darker(160));
    p.drawRect(QRectF(r.center().x(), r.top() + 1, 1, 3));
    if (!alt) return;
    p.setBrush(kBodyBottom.darker(115));
    p.drawRect(QRect(r.left(), r.top(), knob, r.height()));
    const QRectF k(r.left() + 0.5, r.top() + 0.5, knob - 1, r.height() - 1);
    QLinearGradient kg(k.topLeft(), k.bottomLeft());
    kg.setColorAt(0, QColor(0xe4, 0xea, 0xef));
    kg.setColorAt(1, QColor(0x9a, 0xa5, 0xb0));
    p.setPen(QPen(kEdge, 1));
    p.setBrush(kg);
    p.drawRoundedRect(k, 2, 2);
    p.setPen(QPen(kAccent.darker(130), 1));
    p.drawLine(QPointF(k.center().x(), k.top() + 3), QPointF(k.center().x(), k.bottom() - 3));
}

void body(QPainter& p, const QSize& size, int radius) {
    // The outline is drawn without anti-aliasing: the cut-out colour must stay exact.
    p.fillRect(QRect(QPoint(0, 0), size), kKey);
    p.setRenderHint(QPainter::Antialiasing, false);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, kBodyTop);
    g.setColorAt(1, kBodyBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRect(0, 0, size.width(), size.height()), radius, radius);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(255, 255, 255, 26), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(1.5, 1.5, size.width() - 3, size.height() - 3), radius - 1,
                      radius - 1);
}

void screenBezel(QPainter& p, const QRect& screen) {
    const QRectF bezel = QRectF(screen).adjusted(-4, -4, 4, 4);
    p.setPen(QPen(QColor(255, 255, 255, 30), 1));
    p.setBrush(kEdge);
    p.drawRoundedRect(bezel.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
}

void logo(QPainter& p, const QRect& r) {
    p.setFont(uiFont(11));
    p.setPen(kGlyph);
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ombrix"));
    const int w = p.fontMetrics().horizontalAdvance(QStringLiteral("ombrix"));
    p.setBrush(kAccent);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(r.left() + w + 4, r.center().y() + 2.5), 2, 2);
}

// ---------------------------------------------------------------------------------------------
// The normal panel

const QSize kPanelSize(408, 128);
const QRect kScreen(14, 14, 220, 80);
constexpr int kVolumeKnob = 10;
constexpr int kPanKnob = 12;

Layout panelLayout() {
    Layout l;
    const char* transport[] = {"prev", "rewind",  "play", "pause",
                               "stop", "forward", "next", "open"};
    for (int i = 0; i < 8; ++i) l.push_back({transport[i], QRect(12 + 28 * i, 104, 25, 18)});
    l.push_back({"ledvolume", QRect(246, 14, 18, 80)});
    l.push_back({"fadervolume", QRect(270, 14, 16, 80)});
    l.push_back({"lcdvolume", QRect(244, 100, 44, 12)});
    l.push_back({"volumedown", QRect(244, 113, 21, 11)});
    l.push_back({"volumeup", QRect(267, 113, 21, 11)});
    l.push_back({"hide", QRect(366, 8, 16, 15)});
    l.push_back({"exit", QRect(385, 8, 16, 15)});
    l.push_back({"repeat", QRect(296, 29, 51, 15)});
    l.push_back({"shuffle", QRect(350, 29, 51, 15)});
    l.push_back({"intro", QRect(296, 47, 51, 15)});
    l.push_back({"fx", QRect(350, 47, 51, 15)});
    l.push_back({"eq", QRect(296, 65, 51, 15)});
    l.push_back({"setup", QRect(350, 65, 51, 15)});
    l.push_back({"edit", QRect(296, 83, 33, 15)});
    l.push_back({"dj", QRect(332, 83, 33, 15)});
    l.push_back({"plug", QRect(368, 83, 33, 15)});
    l.push_back({"faderpan", QRect(296, 106, 105, 14)});
    return l;
}

Glyph glyphFor(const QString& name) {
    static const std::pair<const char*, Glyph> map[] = {
        {"open", Glyph::Open},   {"play", Glyph::Play},       {"stop", Glyph::Stop},
        {"pause", Glyph::Pause}, {"forward", Glyph::Forward}, {"rewind", Glyph::Rewind},
        {"edit", Glyph::Edit},   {"dj", Glyph::Dj},           {"exit", Glyph::Exit},
        {"hide", Glyph::Hide},   {"volumeup", Glyph::Plus},   {"volumedown", Glyph::Minus},
        {"next", Glyph::Next},   {"prev", Glyph::Prev},       {"plug", Glyph::Plug},
        {"setup", Glyph::Setup}};
    for (const auto& [n, g] : map)
        if (name == QLatin1String(n)) return g;
    return Glyph::Play;
}

void drawElements(QPainter& p, const Layout& layout, bool alt) {
    for (const Element& e : layout) {
        const QString n = QString::fromLatin1(e.name);
        if (n == QLatin1String("ledvolume"))
            levelMeter(p, e.rect, alt);
        else if (n == QLatin1String("fadervolume"))
            volumeFader(p, e.rect, kVolumeKnob, alt);
        else if (n == QLatin1String("faderpan"))
            panFader(p, e.rect, kPanKnob, alt);
        else if (n == QLatin1String("lcdvolume") || n == QLatin1String("lcdtitle"))
            lcdBox(p, e.rect);
        else if (n == QLatin1String("repeat") || n == QLatin1String("shuffle") ||
                 n == QLatin1String("intro") || n == QLatin1String("fx") ||
                 n == QLatin1String("eq"))
            toggle(p, e.rect, n, alt);
        else
            button(p, e.rect, glyphFor(n), alt);
    }
}

QImage drawPanel(bool alt) {
    QImage img(kPanelSize, QImage::Format_RGB32);
    QPainter p(&img);
    body(p, kPanelSize, 10);
    screenBezel(p, kScreen);
    // The screen itself is covered by the screen display; a dark fill shows until then.
    p.fillRect(kScreen, kLcdDark);
    logo(p, QRect(297, 7, 60, 16));
    drawElements(p, panelLayout(), alt);
    return img;
}

// ---------------------------------------------------------------------------------------------
// The coolbar: one slim strip with the LCD title instead of the screen.

const QSize kCoolbarSize(424, 32);

Layout coolbarLayout() {
    Layout l;
    const char* transport[] = {"prev", "play", "pause", "stop", "next"};
    for (int i = 0; i < 5; ++i) l.push_back({transport[i], QRect(8 + 24 * i, 7, 22, 18)});
    l.push_back({"lcdtitle", QRect(134, 7, 196, 18)});
    l.push_back({"ledvolume", QRect(336, 7, 12, 18)});
    l.push_back({"lcdvolume", QRect(352, 7, 26, 18)});
    l.push_back({"hide", QRect(384, 8, 16, 16)});
    l.push_back({"exit", QRect(402, 8, 16, 16)});
    return l;
}

QImage drawCoolbar(bool alt) {
    QImage img(kCoolbarSize, QImage::Format_RGB32);
    QPainter p(&img);
    body(p, kCoolbarSize, 8);
    drawElements(p, coolbarLayout(), alt);
    return img;
}

// ---------------------------------------------------------------------------------------------
// Files

bool fail(const QString& what) {
    std::fprintf(stderr, "ombrix-art: cannot write %s\n", qPrintable(what));
    return false;
}

bool saveImage(const QImage& img, const QString& path) {
    return img.save(path, "BMP") || fail(path);
}

bool saveText(const QString& path, const QStringList& lines) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return fail(path);
    f.write(lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
    return f.commit() || fail(path);
}

// Windows colour values: red in the low byte.
qint64 colorRef(const QColor& c) {
    return qint64(c.red()) | (qint64(c.green()) << 8) | (qint64(c.blue()) << 16);
}

QStringList description(const Layout& layout, int paneltype, bool withScreen) {
    QStringList lines{QStringLiteral("[button]"),
                      QStringLiteral("paneltype=%1").arg(paneltype),
                      QStringLiteral("transparentcolor=%1").arg(colorRef(kKey)),
                      QStringLiteral("changecursor=1"),
                      QStringLiteral("lcdfontcolor=%1").arg(colorRef(kAccent)),
                      QStringLiteral("screenfontcolor=%1").arg(colorRef(QColor(0x0d, 0x33, 0x36)))};
    if (withScreen) {
        lines << QStringLiteral("screenleft=%1").arg(kScreen.left())
              << QStringLiteral("screentop=%1").arg(kScreen.top())
              << QStringLiteral("fadervolumeknob=%1").arg(kVolumeKnob)
              << QStringLiteral("faderpanknob=%1").arg(kPanKnob);
    }
    for (const Element& e : layout) {
        const QString n = QString::fromLatin1(e.name);
        lines << n + QStringLiteral("left=") + QString::number(e.rect.left())
              << n + QStringLiteral("top=") + QString::number(e.rect.top())
              << n + QStringLiteral("right=") + QString::number(e.rect.left() + e.rect.width())
              << n + QStringLiteral("bottom=") + QString::number(e.rect.top() + e.rect.height());
    }
    return lines;
}

// The screen's background: a pale backlit glass with a fine dot matrix, in 8-bit colour. The
// palette runs from a deep to a light sea-green; 255 is left black (the bar and pause glyph).
QImage drawScreenBackground() {
    QImage img(220, 80, QImage::Format_Indexed8);
    QList<QRgb> palette;
    const QColor dark(0x4f, 0x86, 0x80), light(0xe6, 0xf7, 0xf2);
    for (int i = 0; i < 256; ++i) {
        const qreal t = i / 254.0;
        palette.append(qRgb(int(dark.red() + (light.red() - dark.red()) * t),
                            int(dark.green() + (light.green() - dark.green()) * t),
                            int(dark.blue() + (light.blue() - dark.blue()) * t)));
    }
    palette[255] = qRgb(0, 0, 0);
    img.setColorTable(palette);
    for (int y = 0; y < 80; ++y) {
        uchar* row = img.scanLine(y);
        for (int x = 0; x < 220; ++x) {
            // Brighter in the upper middle, like a lamp behind the glass.
            const qreal dx = (x - 110) / 150.0, dy = (y - 26) / 90.0;
            qreal v = 246 - 34 * (dx * dx + dy * dy) - 10.0 * y / 79.0;
            if ((x % 2) == 1 && (y % 2) == 1) v -= 5;  // the dot matrix
            // The track of the position bar.
            if (y >= 71 && y <= 75 && x >= 10 && x <= 210) v -= 26;
            if (x < 1 || y < 1 || x > 218 || y > 78) v -= 40;  // an inner shadow at the rim
            row[x] = uchar(std::clamp(int(std::lround(v)), 0, 254));
        }
    }
    return img;
}

// The configuration window's logo: the program's mark beside its name, 140 x 56.
QImage drawLogo() {
    QImage img(140, 56, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient back(0, 0, 0, 56);
    back.setColorAt(0, QColor(0x22, 0x2a, 0x33));
    back.setColorAt(1, QColor(0x10, 0x14, 0x1b));
    p.fillRect(img.rect(), back);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2b, 0xb3, 0xa8));
    p.drawEllipse(QRectF(8, 10, 36, 36));
    p.setBrush(QColor(0x10, 0x14, 0x1b));
    const QPointF play[3] = {{22, 19}, {22, 37}, {36, 28}};
    p.drawPolygon(play, 3);
    p.setPen(QColor(0xe6, 0xf7, 0xf2));
    p.setFont(uiFont(17));
    p.drawText(QRect(52, 8, 86, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ombrix"));
    p.setPen(QColor(0x8f, 0xb8, 0xb2));
    p.setFont(uiFont(11, false));
    p.drawText(QRect(53, 30, 86, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("player"));
    return img;
}

// 35,200 bytes: the pause glyph (220 x 80, bottom-up rows, non-zero inside the glyph), then a
// soft round light of the same size.
QByteArray drawBumpFile() {
    QImage glyph(220, 80, QImage::Format_Grayscale8);
    glyph.fill(0);
    {
        QPainter p(&glyph);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(96, 20, 10, 34), 3, 3);
        p.drawRoundedRect(QRectF(114, 20, 10, 34), 3, 3);
    }
    QByteArray out(35200, '\0');
    for (int y = 0; y < 80; ++y) {
        const uchar* row = glyph.constScanLine(79 - y);
        for (int x = 0; x < 220; ++x) out[y * 220 + x] = char(row[x] > 96 ? 1 : 0);
    }
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 220; ++x) {
            const qreal d = std::hypot((x - 110) / 110.0, (y - 40) / 40.0);
            out[17600 + y * 220 + x] = char(uchar(std::clamp(255.0 * (1 - d), 0.0, 255.0)));
        }
    return out;
}

}  // namespace

bool writeDefaultSkin(const QString& dataDir) {
    const QDir root(dataDir);
    for (const char* d : {"panel", "coolbar", "resource"})
        if (!root.mkpath(QString::fromLatin1(d)))
            return fail(root.filePath(QString::fromLatin1(d)));
    const QString panel = root.filePath(QStringLiteral("panel/default"));
    const QString coolbar = root.filePath(QStringLiteral("coolbar/default"));
    if (!saveImage(drawPanel(false), panel + QStringLiteral(".bmp")) ||
        !saveImage(drawPanel(true), panel + QStringLiteral(".alt.bmp")) ||
        !saveText(panel + QStringLiteral(".btn"), description(panelLayout(), 2, true)) ||
        !saveImage(drawCoolbar(false), coolbar + QStringLiteral(".bmp")) ||
        !saveImage(drawCoolbar(true), coolbar + QStringLiteral(".alt.bmp")) ||
        !saveText(coolbar + QStringLiteral(".btn"), description(coolbarLayout(), 2, false)) ||
        !saveImage(drawScreenBackground(), root.filePath(QStringLiteral("resource/bg.bmp"))) ||
        !saveImage(drawLogo(), root.filePath(QStringLiteral("resource/logo.bmp"))))
        return false;
    QSaveFile raw(root.filePath(QStringLiteral("resource/bumpl.raw")));
    if (!raw.open(QIODevice::WriteOnly)) return fail(raw.fileName());
    raw.write(drawBumpFile());
    return raw.commit() || fail(raw.fileName());
}

}  // namespace ombrix::art
