#include "ombrix/skin/SkinFile.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>

#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/TextFile.h"
#include "ombrix/skin/PanelError.h"

namespace ombrix {
namespace {

const QString kSection = QStringLiteral("button");

QString stem(const QString& basePath) {
    return basePath.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive) ? basePath.chopped(4)
                                                                         : basePath;
}

int readInt(const IniDocument& ini, const char* key, int def) {
    return static_cast<int>(std::clamp<qint64>(
        ini.readInteger(kSection, QString::fromLatin1(key), def), -(1 << 24), 1 << 24));
}

}  // namespace

SkinFile::SkinFile() {
    for (int i = 0; i < kPanelElementCount; ++i)
        buttons_[i] = ButtonRect(QString::fromLatin1(kPanelElementNames[i]));
}

QString SkinFile::alternatePath(const QString& basePath) {
    return stem(basePath) + QStringLiteral(".alt.bmp");
}

QString SkinFile::descriptionPath(const QString& basePath) {
    return stem(basePath) + QStringLiteral(".btn");
}

QRgb SkinFile::rgbFromColorRef(qint32 color) noexcept {
    const auto c = static_cast<quint32>(color);
    return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// The decoder fills a short file's missing rows with nothing and still succeeds, so an
// uncompressed bitmap must hold every row its header promises.
static bool bitmapComplete(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray h = f.read(54);
    if (h.size() < 54 || !h.startsWith("BM")) return false;
    auto u32 = [&](int at) {
        return quint32(quint8(h[at])) | quint32(quint8(h[at + 1])) << 8 |
               quint32(quint8(h[at + 2])) << 16 | quint32(quint8(h[at + 3])) << 24;
    };
    const qint64 offset = u32(10);
    const qint64 width = qint32(u32(18));
    const qint64 height = std::abs(qint64(qint32(u32(22))));
    const qint64 bits = quint16(quint8(h[28]) | quint8(h[29]) << 8);
    const quint32 compression = u32(30);
    if (compression != 0 && compression != 3) return true;  // run-length data: the decoder checks
    const qint64 stride = (width * bits + 31) / 32 * 4;
    return f.size() >= offset + stride * height;
}

QImage SkinFile::readImage(const QString& path, const char* what) {
    const QString name = QFileInfo(path).fileName();
    if (!QFileInfo(path).isFile())
        throw PanelError(QStringLiteral("The %1 %2 was not found.")
                             .arg(QString::fromLatin1(what), name)
                             .toStdString());
    QImageReader reader(path, "bmp");
    reader.setDecideFormatFromContent(false);
    // The size is known from the header: a huge picture is refused before it is decoded.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > kMaxSide || size.height() > kMaxSide)
        throw PanelError(QStringLiteral("The %1 %2 is not a usable bitmap (size %3 x %4).")
                             .arg(QString::fromLatin1(what), name)
                             .arg(size.width())
                             .arg(size.height())
                             .toStdString());
    QImage image;
    if (!bitmapComplete(path))
        throw PanelError(QStringLiteral("The %1 %2 is cut short or not a bitmap.")
                             .arg(QString::fromLatin1(what), name)
                             .toStdString());
    if (!reader.read(&image) || image.isNull() || image.size() != size)
        throw PanelError(QStringLiteral("The %1 %2 cannot be read: %3")
                             .arg(QString::fromLatin1(what), name, reader.errorString())
                             .toStdString());
    return image.convertToFormat(QImage::Format_RGB32);
}

void SkinFile::load(const QString& basePath) {
    // Everything is read first and committed at the end, so a bad file leaves the panel as
    // it was.
    QImage base = readImage(basePath, "panel image");
    const QString altPath = alternatePath(basePath);
    const bool hasAlt = QFileInfo::exists(altPath);
    QImage alt;
    if (hasAlt) {
        alt = readImage(altPath, "alternate image");
        if (alt.size() != base.size())
            throw PanelError(QStringLiteral("The alternate image %1 is %2 x %3, the panel image "
                                            "%4 x %5: they must be the same size.")
                                 .arg(QFileInfo(altPath).fileName())
                                 .arg(alt.width())
                                 .arg(alt.height())
                                 .arg(base.width())
                                 .arg(base.height())
                                 .toStdString());
    }
    const QString btnPath = descriptionPath(basePath);
    std::optional<IniDocument> ini;
    if (QFileInfo::exists(btnPath)) {
        try {
            ini = IniDocument::read(btnPath);
        } catch (const FileError& e) {
            throw PanelError(QStringLiteral("The panel description %1 cannot be read: %2")
                                 .arg(QFileInfo(btnPath).fileName(), QString::fromUtf8(e.what()))
                                 .toStdString());
        }
    }

    base_ = std::move(base);
    alternate_ = std::move(alt);
    hasAlternate_ = hasAlt;
    path_ = basePath;
    if (ini) {
        for (ButtonRect& b : buttons_) b.read(*ini);
        paneltype = readInt(*ini, "paneltype", 0);
        screenleft = readInt(*ini, "screenleft", 14);
        screentop = readInt(*ini, "screentop", 12);
        fadervolumeknob = readInt(*ini, "fadervolumeknob", 0);
        faderpanknob = readInt(*ini, "faderpanknob", 0);
        changecursor = ini->readBool(kSection, QStringLiteral("changecursor"), true);
        auto colour = [&](const char* key, qint64 def) {
            return static_cast<qint32>(ini->readInteger(kSection, QString::fromLatin1(key), def));
        };
        lcdfontcolor = colour("lcdfontcolor", -1);
        screenfontcolor = colour("screenfontcolor", -1);
        transparentcolor = colour("transparentcolor", kWhite);
    }
    // Rectangles reaching beyond the image are cut to it: every copy and every fader
    // computation then stays inside the picture and far from integer overflow.
    for (ButtonRect& b : buttons_) b.clipTo(base_.width(), base_.height());
    screenleft = std::clamp(screenleft, -base_.width(), base_.width());
    screentop = std::clamp(screentop, -base_.height(), base_.height());
    computeTravels();
}

void SkinFile::computeTravels() noexcept {
    const ButtonRect& v = buttons_[kFaderVolume];
    const ButtonRect& p = buttons_[kFaderPan];
    fadervolumeknob = std::clamp(fadervolumeknob, 0, std::max(0, v.Bottom - v.Top));
    faderpanknob = std::clamp(faderpanknob, 0, std::max(0, p.Right - p.Left));
    // An upside-down rectangle gives no travel rather than a negative one.
    volumeTravel = std::max(0, (v.Bottom - v.Top) - fadervolumeknob);
    panTravel = std::max(0, (p.Right - p.Left) - faderpanknob);
}

QRegion SkinFile::windowRegion() const {
    if (base_.isNull()) return {};
    if (paneltype == 1) return QRegion(base_.rect(), QRegion::Ellipse);
    if (paneltype == 2) return opaqueRegion(base_, transparentcolor);
    return {};
}

QRegion SkinFile::opaqueRegion(const QImage& image, qint32 transparent) {
    // The union of the opaque runs of every column is the same set of pixels as the union of
    // the opaque runs of every row; rows give bands that QRegion takes in one piece.
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    const QRgb key = rgbFromColorRef(transparent) & 0xFFFFFF;
    QRegion region;
    QList<QRect> band;
    QList<std::pair<int, int>> runs, previous;
    int bandTop = 0;
    auto flush = [&](int bottom) {
        if (previous.isEmpty()) return;
        band.clear();
        for (const auto& [x0, x1] : previous)
            band.append(QRect(x0, bandTop, x1 - x0, bottom - bandTop));
        QRegion r;
        r.setRects(band.constData(), int(band.size()));
        region += r;
    };
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        runs.clear();
        int x = 0;
        while (x < img.width()) {
            while (x < img.width() && (row[x] & 0xFFFFFF) == key) ++x;
            const int start = x;
            while (x < img.width() && (row[x] & 0xFFFFFF) != key) ++x;
            if (x > start) runs.append({start, x});
        }
        if (runs != previous) {
            flush(y);
            previous = runs;
            bandTop = y;
        }
    }
    flush(img.height());
    return region;
}

}  // namespace ombrix
