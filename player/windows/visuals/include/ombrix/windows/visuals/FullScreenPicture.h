#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <array>
#include <cstdint>

namespace ombrix {

/**
 * @brief What the full-screen window shows, without the window: the 320 x 240 picture of the
 *        full-screen plug-in enlarged by a whole factor, and the screen's three text lines at
 *        the same factor over it.
 *
 * The factor is the largest whole number that fits the screen, 2 at least (on a screen smaller
 * than 640 x 480 the picture is cut, as the display it was made for is 640 x 480). The picture
 * is centred; what is left around it stays black.
 * Thread affinity: main thread (QFont).
 */
class FullScreenPicture {
public:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 240;

    struct Text {
        std::array<QString, 3> lines;
        std::array<int, 3> left{8, 8, 140};
        std::array<int, 3> top{3, 22, 40};
        int slide = 0;  ///< line 0 comes in from the left, lines 1 and 2 from the right
        QFont font;
        QColor color{Qt::white};
    };

    /// The whole factor for a screen of @p screen pixels.
    static int factor(const QSize& screen) noexcept;

    void setScreenSize(const QSize& screen);
    int factor() const noexcept { return factor_; }
    /// Where the enlarged picture lies on the screen.
    QRect pictureRect() const noexcept;
    /// Where line @p i is drawn (its top left, the font's ascent below it is the base line).
    QPoint linePosition(int i, const Text& text) const noexcept;
    /// The font of the lines: the screen font at factor() times its size.
    QFont lineFont(const QFont& screenFont) const;

    /// Takes a frame (kWidth x kHeight palette indices, rows bottom-up) and its colours.
    /// @p useBlitra doubles through MMXBlit320x240 when the factor is 2.
    void setFrame(const uint8_t* frame, const QList<QRgb>& palette, bool useBlitra);
    /// The enlarged picture, indexed, pictureRect().size().
    const QImage& picture() const noexcept { return picture_; }

    /// Draws the picture and the lines onto a screen-sized image (for the window and tests).
    void paint(class QPainter& painter, const Text& text) const;

private:
    QSize screen_{640, 480};
    int factor_ = 2;
    QImage picture_;
};

}  // namespace ombrix
