#include "ombrix/effects/EqualizerSetup.h"

#include "ombrix/effects/EqualizerSink.h"
#include "ombrix/settings/IniDocument.h"

namespace ombrix {

void EqualizerSetup::send(EqualizerSink& sink) const noexcept {
    sendSubbands(sink);
    sendOctaves(sink);
}

void EqualizerSetup::sendSubbands(EqualizerSink& sink) const noexcept {
    if (mode == EqualizerMode::Subbands)
        subbands.send(sink);
    else
        EqualizerCurve().send(sink);
}

void EqualizerSetup::sendOctaves(EqualizerSink& sink) const noexcept {
    if (mode == EqualizerMode::Octaves)
        octaves.send(sink);
    else
        OctaveCurve().send(sink);
}

void EqualizerSetup::read(const IniDocument& ini) noexcept {
    const qint64 m = ini.readInteger(EqualizerCurve::kSection, kModeKey, 0);
    mode = m == static_cast<qint64>(EqualizerMode::Octaves) ? EqualizerMode::Octaves
                                                            : EqualizerMode::Subbands;
    subbands.read(ini);
    octaves.read(ini);
}

void EqualizerSetup::write(IniDocument& ini) const {
    ini.writeInteger(EqualizerCurve::kSection, kModeKey, static_cast<int>(mode));
    subbands.write(ini);
    octaves.write(ini);
}

}  // namespace ombrix
