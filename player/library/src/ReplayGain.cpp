#include "ombrix/library/ReplayGain.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "ombrix/settings/PlayerSettings.h"

namespace ombrix {
namespace {

// Values are short; anything longer is not one.
constexpr qsizetype kLongestValue = 32;

std::optional<double> number(const QString& text) {
    static const QRegularExpression kNumber(
        QStringLiteral(R"(^\s*([+-]?(?:\d+(?:\.\d*)?|\.\d+))\s*(?:[dD][bB])?\s*$)"));
    if (text.size() > kLongestValue) return std::nullopt;
    const QRegularExpressionMatch m = kNumber.match(text);
    if (!m.hasMatch()) return std::nullopt;
    bool ok = false;
    const double v = m.captured(1).toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

double clampedDb(double db) {
    if (!std::isfinite(db)) return 0.0;
    return std::clamp(db, double(ReplayGain::kMinDb), double(ReplayGain::kMaxDb));
}

}  // namespace

ReplayGain::Mode ReplayGain::mode(int setting) noexcept {
    switch (setting) {
        case 0:
            return Mode::Off;
        case 2:
            return Mode::Album;
        default:
            return Mode::Track;
    }
}

std::optional<double> ReplayGain::parseGain(const QString& text) {
    const auto v = number(text);
    if (!v || std::abs(*v) > kLargestGain) return std::nullopt;
    return v;
}

std::optional<double> ReplayGain::parsePeak(const QString& text) {
    // A peak has no unit: "0.98 dB" is a gain written in the wrong place.
    if (text.contains(QLatin1Char('d'), Qt::CaseInsensitive)) return std::nullopt;
    const auto v = number(text);
    if (!v || *v <= 0.0 || *v > kLargestPeak) return std::nullopt;
    return v;
}

double ReplayGain::factor(const ReplayGainValues& values, Mode mode, double preampDb,
                          double defaultDb) noexcept {
    if (mode == Mode::Off) return 1.0;
    const bool album = mode == Mode::Album;
    const std::optional<double> gain =
        album ? (values.albumGain ? values.albumGain : values.trackGain)
              : (values.trackGain ? values.trackGain : values.albumGain);
    const bool albumChosen = album ? bool(values.albumGain) : !values.trackGain;
    const std::optional<double> peak =
        albumChosen ? (values.albumPeak ? values.albumPeak : values.trackPeak)
                    : (values.trackPeak ? values.trackPeak : values.albumPeak);
    const double db = gain ? *gain + clampedDb(preampDb) : clampedDb(defaultDb);
    double f = std::pow(10.0, db / 20.0);
    // Clipping prevention: the loudest sample, raised by the factor, stays within full scale.
    if (peak && *peak > 0.0) f = std::min(f, 1.0 / *peak);
    return f;
}

double ReplayGain::factor(const ReplayGainValues& values, const PlayerSettings& s) noexcept {
    return factor(values, mode(s.replaygain), s.replaygainpreamp, s.replaygaindefault);
}

}  // namespace ombrix
