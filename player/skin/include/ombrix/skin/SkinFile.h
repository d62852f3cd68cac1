#pragma once

#include <QImage>
#include <QRegion>
#include <QString>
#include <array>

#include "ombrix/skin/ButtonRect.h"
#include "ombrix/skin/PanelElements.h"

namespace ombrix {

/**
 * @brief A loaded panel: the base image, the alternate image with the "on" and highlighted
 *        looks, the 26 element rectangles and the values of the description file.
 *
 * Images are kept as 32-bit RGB. Without an alternate image the base image serves as one, so
 * copies from it stay inside valid pixels.
 * Thread affinity: main thread (one at a time).
 */
class SkinFile {
public:
    /// Largest width or height of a panel image.
    static constexpr int kMaxSide = 4096;
    static constexpr qint32 kWhite = 0xFFFFFF;

    SkinFile();

    /**
     * @brief Loads the base image at @p basePath, its ".alt.bmp" and ".btn" files.
     * @throws PanelError when the base image is missing, not an image, empty or larger than
     *         kMaxSide, when the alternate image cannot be read or has another size, or when
     *         the description file is not a settings file. The panel is then unchanged.
     */
    void load(const QString& basePath);

    /// The window shape for paneltype 1 (ellipse) and 2 (everything but the transparent
    /// colour); an empty region for a plain rectangle.
    QRegion windowRegion() const;
    /// The pixels of @p image whose colour is not @p transparent (a Windows colour value),
    /// built from the runs of each column.
    static QRegion opaqueRegion(const QImage& image, qint32 transparent);

    ButtonRect& button(int index) { return buttons_.at(index); }
    const ButtonRect& button(int index) const { return buttons_.at(index); }
    bool defined(int index) const { return buttons_.at(index).defined; }

    bool hasAlternate() const noexcept { return hasAlternate_; }
    const QImage& base() const noexcept { return base_; }
    const QImage& alternate() const noexcept { return hasAlternate_ ? alternate_ : base_; }
    const QString& path() const noexcept { return path_; }
    QSize size() const noexcept { return base_.size(); }

    int screenleft = 14;
    int screentop = 12;
    int paneltype = 0;
    bool changecursor = true;
    int fadervolumeknob = 0;
    int volumeTravel = 0;
    int faderpanknob = 0;
    int panTravel = 0;
    qint32 lcdfontcolor = -1;
    qint32 screenfontcolor = -1;
    qint32 transparentcolor = kWhite;

    /// The alternate and description paths for @p basePath (".bmp" replaced).
    static QString alternatePath(const QString& basePath);
    static QString descriptionPath(const QString& basePath);
    /// A Windows colour value (red in the low byte) as a QRgb.
    static QRgb rgbFromColorRef(qint32 color) noexcept;

private:
    static QImage readImage(const QString& path, const char* what);
    void computeTravels() noexcept;

    std::array<ButtonRect, kPanelElementCount> buttons_;
    bool hasAlternate_ = false;
    QImage base_;
    QImage alternate_;
    QString path_;
};

}  // namespace ombrix
