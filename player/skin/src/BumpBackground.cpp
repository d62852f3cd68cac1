#include "ombrix/skin/BumpBackground.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace ombrix {
namespace {

// The palette's cosine is kept to a 40-bit mantissa, as the stored palettes were computed with
// it; full precision would move a few entries by one step.
long double roundTo40Bits(long double q) {
    if (q == 0.0L) return q;
    int exponent = 0;
    const long double mantissa = std::frexp(q, &exponent);
    return std::ldexp(std::nearbyint(std::ldexp(mantissa, 40)), exponent - 40);
}

int channel(long double q, int x, int ambient, int light, int reflect) {
    const long double value = q * x + static_cast<long double>(x) * ambient / 255.0L +
                              light * std::pow(q, static_cast<long double>(reflect));
    // Truncated toward zero like the stored palettes; the ranges keep value below 2,300.
    return std::min(255, static_cast<int>(value));
}

}  // namespace

QList<QRgb> BumpBackground::palette(const Light& in) {
    const int color = in.color & 0xFFFFFF;
    const int ambient = std::clamp(in.ambient, 0, kMaxAmbient);
    const int reflect = std::clamp(in.reflect, 0, kMaxReflect);
    const int light = std::clamp(in.light, 0, kMaxLight);
    const int r = color & 0xFF;
    const int g = (color >> 8) & 0xFF;
    const int b = color >> 16;
    QList<QRgb> table;
    table.reserve(256);
    for (int i = 0; i < 256; ++i) {
        const long double q = roundTo40Bits(std::cos((255 - i) / 512.0L * 3.141592L));
        table.append(qRgb(channel(q, r, ambient, light, reflect),
                          channel(q, g, ambient, light, reflect),
                          channel(q, b, ambient, light, reflect)));
    }
    return table;
}

// Halves round to even: the light's path is the one the stored animation follows.
int BumpBackground::lightX(uint16_t t) noexcept {
    return static_cast<int>(std::nearbyint(std::cos(t / 10.0L) * 40 + 110));
}

int BumpBackground::lightY(uint16_t t) noexcept {
    return static_cast<int>(std::nearbyint(std::sin(t / 19.0L) * 23 + 31));
}

void BumpBackground::drawFrame(const uint8_t* heights, int slide, uint8_t* out) noexcept {
    ++t_;
    const int lx = lightX(t_);
    const int ly = lightY(t_);
    const int floor = std::max(0, slide);
    auto height = [&](int x, int y) { return std::max<int>(heights[y * kWidth + x], floor); };
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = out + y * kWidth;
        if (y == 0 || y == kHeight - 1) {
            std::fill(row, row + kWidth, uint8_t{100});
            continue;
        }
        row[0] = row[kWidth - 1] = 100;
        const int dy = y - ly;
        for (int x = 1; x < kWidth - 1; ++x) {
            const int nx = height(x + 1, y) - height(x - 1, y);
            const int ny = height(x, y + 1) - height(x, y - 1);
            const int ax = std::min(std::abs((x - lx) - nx), 127);
            const int ay = std::min(std::abs(dy - ny), 127);
            row[x] = static_cast<uint8_t>(255 - ax - ay);
        }
    }
}

}  // namespace ombrix
