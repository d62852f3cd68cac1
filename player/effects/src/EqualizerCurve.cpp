#include "ombrix/effects/EqualizerCurve.h"

#include <algorithm>

#include "ombrix/effects/EqualizerSink.h"
#include "ombrix/settings/IniDocument.h"

namespace ombrix {

namespace {
const QString kPrefix = QStringLiteral("ScrollBar");

bool validNumber(int number) {
    return number >= 1 && number <= EqualizerCurve::kSliders;
}
}  // namespace

float EqualizerCurve::gainFor(int position) noexcept {
    const int p = std::clamp(position, kMinPosition, kMaxPosition);
    if (p <= kFlatPosition) return 1.0f + static_cast<float>(kFlatPosition - p) / 500.0f;
    return static_cast<float>(kMaxPosition - p) / 500.0f;
}

std::optional<int> EqualizerCurve::sliderNumber(const QString& controlName) {
    // One digit when the name is ten characters long, two when it is eleven.
    const qsizetype digits = controlName.size() - kPrefix.size();
    if (!controlName.startsWith(kPrefix) || digits < 1 || digits > 2) return std::nullopt;
    int number = 0;
    for (qsizetype i = kPrefix.size(); i < controlName.size(); ++i) {
        const QChar c = controlName.at(i);
        if (c < u'0' || c > u'9') return std::nullopt;
        number = number * 10 + (c.unicode() - u'0');
    }
    if (!validNumber(number)) return std::nullopt;
    return number;
}

QString EqualizerCurve::keyFor(int number) {
    return kPrefix + QString::number(number);
}

EqualizerCurve::EqualizerCurve() {
    reset();
}

int EqualizerCurve::position(int number) const {
    return validNumber(number) ? positions_[number - 1] : kFlatPosition;
}

float EqualizerCurve::gain(int number) const {
    return gainFor(position(number));
}

void EqualizerCurve::setPosition(int number, int position) noexcept {
    if (!validNumber(number)) return;
    positions_[number - 1] = std::clamp(position, kMinPosition, kMaxPosition);
}

void EqualizerCurve::reset() noexcept {
    positions_.fill(kFlatPosition);
}

void EqualizerCurve::send(EqualizerSink& sink) const noexcept {
    for (int k = 0; k < kSliders; ++k) {
        const float g = gainFor(positions_[k]);
        sink.setBand(2 * k, g);
        sink.setBand(2 * k + 1, g);
    }
}

void EqualizerCurve::read(const IniDocument& ini) noexcept {
    for (int n = 1; n <= kSliders; ++n) {
        const qint64 v = ini.readInteger(kSection, keyFor(n), kFlatPosition);
        setPosition(n, static_cast<int>(std::clamp<qint64>(v, kMinPosition, kMaxPosition)));
    }
}

void EqualizerCurve::write(IniDocument& ini) const {
    for (int n = 1; n <= kSliders; ++n) ini.writeInteger(kSection, keyFor(n), positions_[n - 1]);
}

}  // namespace ombrix
