#include "ombrix/effects/DjControlMath.h"

#include <algorithm>

namespace ombrix {

int32_t DjControlMath::squaredScale(int position) noexcept {
    const qint64 p = std::clamp(position, 0, kFullScale);
    // Rounded to nearest: (2 p² + 32767) / (2 × 32767).
    return static_cast<int32_t>((2 * p * p + kFullScale) / (2 * qint64{kFullScale}));
}

uint32_t DjControlMath::pitchValue(int position) noexcept {
    return static_cast<uint32_t>(std::max(0, position)) * 65536u / 1000u;
}

std::optional<int> DjControlMath::padDigit(const QString& controlName) {
    if (controlName.isEmpty()) return std::nullopt;
    const QChar last = controlName.back();
    if (last < u'0' || last > u'9') return std::nullopt;
    return last.unicode() - u'0';
}

std::optional<int> DjControlMath::padIndex(const QString& controlName) {
    const auto digit = padDigit(controlName);
    if (!digit) return std::nullopt;
    const int pad = controlName.startsWith(QStringLiteral("chkloop")) ? *digit : *digit - 1;
    if (pad < 0 || pad >= kPads) return std::nullopt;
    return pad;
}

}  // namespace ombrix
