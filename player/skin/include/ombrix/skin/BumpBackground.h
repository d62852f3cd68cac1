#pragma once

#include <QList>
#include <QRgb>
#include <cstdint>

namespace ombrix {

/**
 * @brief The animated screen background: a light spot wandering over the relief of the default
 *        background picture, whose palette indices serve as heights.
 *
 * Both the palette and the frames are computed exactly as stored panels and settings expect:
 * the palette from the surface colour and three light settings (see palette()), one frame per
 * screen tick from a 16-bit frame counter that wraps. Settings are held to the ranges below
 * before use, so every value stays far inside 32-bit range.
 * Thread affinity: none (no shared state).
 */
class BumpBackground {
public:
    static constexpr int kWidth = 220;
    static constexpr int kHeight = 80;
    static constexpr int kPixels = kWidth * kHeight;
    static constexpr int kDefaultColor = 16562493;  // 0xFCB93D: red 61, green 185, blue 252
    static constexpr int kDefaultAmbient = 40;
    static constexpr int kDefaultReflect = 200;
    static constexpr int kDefaultLight = 59;
    /// The ranges the light settings are held to (their editor offers the same).
    static constexpr int kMaxAmbient = 1000;
    static constexpr int kMaxReflect = 1000;
    static constexpr int kMaxLight = 1000;

    struct Light {
        int color = kDefaultColor;  ///< red in the low byte, then green, then blue
        int ambient = kDefaultAmbient;
        int reflect = kDefaultReflect;
        int light = kDefaultLight;
    };

    /// The 256 colours: entry i lights the surface colour by q = cos((255 - i) / 512 x 3.141592)
    /// (q rounded to a 40-bit mantissa), channel = q X + X ambient / 255 + light q^reflect,
    /// truncated and capped at 255.
    static QList<QRgb> palette(const Light& light);

    /// Where the light is on frame @p t.
    static int lightX(uint16_t t) noexcept;
    static int lightY(uint16_t t) noexcept;

    /**
     * @brief Advances the frame counter and draws one frame.
     * @param heights kPixels bytes, rows bottom-up (the default background)
     * @param slide the screen's slide-in offset: while it is positive every height is raised to
     *        at least it, which flattens the relief as new lines slide in
     * @param out kPixels bytes, rows bottom-up
     */
    void drawFrame(const uint8_t* heights, int slide, uint8_t* out) noexcept;

    uint16_t counter() const noexcept { return t_; }
    void setCounter(uint16_t t) noexcept { t_ = t; }

private:
    uint16_t t_ = 0;
};

}  // namespace ombrix
