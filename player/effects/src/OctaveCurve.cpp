#include "ombrix/effects/OctaveCurve.h"

#include <algorithm>

#include "ombrix/effects/EqualizerCurve.h"
#include "ombrix/effects/EqualizerSink.h"
#include "ombrix/settings/IniDocument.h"

namespace ombrix {

namespace {
bool validBand(int band) {
    return band >= 0 && band < OctaveCurve::kBands;
}
}  // namespace

QString OctaveCurve::keyFor(int band) {
    return QStringLiteral("eqband") + QString::number(band);
}

QString OctaveCurve::label(int band) {
    static constexpr std::array<const char*, kBands> kLabels{"31", "62", "125", "250", "500",
                                                             "1k", "2k", "4k",  "8k",  "16k"};
    return validBand(band) ? QString::fromLatin1(kLabels[band]) : QString();
}

int OctaveCurve::gainDb(int band) const noexcept {
    return validBand(band) ? gains_[band] : 0;
}

void OctaveCurve::setGainDb(int band, int db) noexcept {
    if (validBand(band)) gains_[band] = std::clamp(db, kMinDb, kMaxDb);
}

bool OctaveCurve::isFlat() const noexcept {
    return std::all_of(gains_.begin(), gains_.end(), [](int g) { return g == 0; });
}

void OctaveCurve::send(EqualizerSink& sink) const noexcept {
    for (int b = 0; b < kBands; ++b) sink.setOctaveGain(b, static_cast<float>(gains_[b]));
}

void OctaveCurve::read(const IniDocument& ini) noexcept {
    for (int b = 0; b < kBands; ++b) {
        const qint64 v = ini.readInteger(EqualizerCurve::kSection, keyFor(b), 0);
        setGainDb(b, static_cast<int>(std::clamp<qint64>(v, kMinDb, kMaxDb)));
    }
}

void OctaveCurve::write(IniDocument& ini) const {
    for (int b = 0; b < kBands; ++b) ini.writeInteger(EqualizerCurve::kSection, keyFor(b), gains_[b]);
}

}  // namespace ombrix
