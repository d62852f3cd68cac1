#include "IconArt.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>

namespace ombrix::art {
namespace {

// The icon is one drawing on a 256-unit square, written twice: as SVG text and through
// QPainter for the PNG sizes. Both read the same shapes, so they cannot drift apart.
constexpr double kUnit = 256;
constexpr int kPngSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

struct Shape {
    enum Kind { RoundRect, Circle, Polygon, Arc } kind;
    QColor color;
    QList<QPointF> points;       // rect corners, circle centre + (radius, 0), polygon, arc centre
    double a = 0, b = 0;         // corner radius; arc radius and stroke width
    double start = 0, span = 0;  // arc angles in degrees (counter-clockwise from 3 o'clock)
};

QList<Shape> drawing() {
    const QColor dark(0x10, 0x14, 0x1b);
    const QColor teal(0x2b, 0xb3, 0xa8);
    const QColor light(0xe8, 0xf6, 0xf4);
    QList<Shape> s;
    s.append({Shape::RoundRect, dark, {{16, 16}, {240, 240}}, 48});
    s.append({Shape::Circle, teal, {{112, 128}, {72, 0}}});
    s.append({Shape::Polygon, dark, {{92, 88}, {92, 168}, {152, 128}}});
    s.append({Shape::Arc, light, {{112, 128}}, 0, 0, -40, 80});
    s.last().a = 100;
    s.last().b = 14;
    s.append({Shape::Arc, teal, {{112, 128}}, 0, 0, -35, 70});
    s.last().a = 124;
    s.last().b = 12;
    return s;
}

QPointF arcPoint(const QPointF& c, double r, double degrees) {
    const double rad = degrees * M_PI / 180.0;
    return {c.x() + r * std::cos(rad), c.y() - r * std::sin(rad)};
}

QString num(double v) {
    return QString::number(v, 'f', 2);
}

QString svgText() {
    QString out = QStringLiteral(
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                      "viewBox=\"0 0 %1 %1\">\n")
                      .arg(int(kUnit));
    for (const Shape& sh : drawing()) {
        const QString fill = sh.color.name();
        switch (sh.kind) {
            case Shape::RoundRect: {
                const QRectF r(sh.points[0], sh.points[1]);
                out += QStringLiteral(
                           "  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" "
                           "fill=\"%6\"/>\n")
                           .arg(num(r.x()), num(r.y()), num(r.width()), num(r.height()), num(sh.a),
                                fill);
                break;
            }
            case Shape::Circle:
                out += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"/>\n")
                           .arg(num(sh.points[0].x()), num(sh.points[0].y()), num(sh.points[1].x()),
                                fill);
                break;
            case Shape::Polygon: {
                QStringList pts;
                for (const QPointF& p : sh.points)
                    pts << num(p.x()) + QLatin1Char(',') + num(p.y());
                out += QStringLiteral("  <polygon points=\"%1\" fill=\"%2\"/>\n")
                           .arg(pts.join(QLatin1Char(' ')), fill);
                break;
            }
            case Shape::Arc: {
                const QPointF from = arcPoint(sh.points[0], sh.a, sh.start);
                const QPointF to = arcPoint(sh.points[0], sh.a, sh.start + sh.span);
                // Sweep flag 0: counter-clockwise on screen, as QPainter's positive span.
                out += QStringLiteral(
                           "  <path d=\"M %1 %2 A %3 %3 0 0 0 %4 %5\" fill=\"none\" "
                           "stroke=\"%6\" stroke-width=\"%7\" stroke-linecap=\"round\"/>\n")
                           .arg(num(from.x()), num(from.y()), num(sh.a), num(to.x()), num(to.y()),
                                fill, num(sh.b));
                break;
            }
        }
    }
    out += QStringLiteral("</svg>\n");
    return out;
}

QImage png(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kUnit, size / kUnit);
    for (const Shape& sh : drawing()) {
        switch (sh.kind) {
            case Shape::RoundRect:
                p.setPen(Qt::NoPen);
                p.setBrush(sh.color);
                p.drawRoundedRect(QRectF(sh.points[0], sh.points[1]), sh.a, sh.a);
                break;
            case Shape::Circle:
                p.setPen(Qt::NoPen);
                p.setBrush(sh.color);
                p.drawEllipse(sh.points[0], sh.points[1].x(), sh.points[1].x());
                break;
            case Shape::Polygon:
                p.setPen(Qt::NoPen);
                p.setBrush(sh.color);
                p.drawPolygon(sh.points.constData(), int(sh.points.size()));
                break;
            case Shape::Arc: {
                QPen pen(sh.color, sh.b, Qt::SolidLine, Qt::RoundCap);
                p.setPen(pen);
                p.setBrush(Qt::NoBrush);
                const QRectF box(sh.points[0].x() - sh.a, sh.points[0].y() - sh.a, 2 * sh.a,
                                 2 * sh.a);
                p.drawArc(box, int(sh.start * 16), int(sh.span * 16));
                break;
            }
        }
    }
    return img;
}

bool fail(const QString& path) {
    std::fprintf(stderr, "ombrix-art: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

bool writeIcons(const QString& iconDir) {
    const QDir root(iconDir);
    const QString svgDir = root.filePath(QStringLiteral("hicolor/scalable/apps"));
    if (!QDir().mkpath(svgDir)) return fail(svgDir);
    QFile svg(QDir(svgDir).filePath(QStringLiteral("ombrix.svg")));
    if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        svg.write(svgText().toUtf8()) < 0 || !svg.flush())
        return fail(svg.fileName());
    for (int size : kPngSizes) {
        const QString dir = root.filePath(QStringLiteral("hicolor/%1x%1/apps").arg(size));
        const QString file = QDir(dir).filePath(QStringLiteral("ombrix.png"));
        if (!QDir().mkpath(dir) || !png(size).save(file, "PNG")) return fail(file);
    }
    return true;
}

}  // namespace ombrix::art
