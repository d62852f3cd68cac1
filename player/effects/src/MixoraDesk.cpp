#include "ombrix/effects/MixoraDesk.h"

#include <QFile>

#include "mixora.h"
#include "mp3.h"

namespace ombrix {

// Every change of the engine tells the playback, which then processes its queue again: the
// change is heard within a fraction of a second rather than after the sound server's buffer.

void MixoraDesk::enableReverb() noexcept {
    XMEnableReverb();
    OmbrixEffectsChanged();
}
void MixoraDesk::disableReverb() noexcept {
    XMDisableReverb();
    OmbrixEffectsChanged();
}
void MixoraDesk::setReverbDelay(int32_t value) noexcept {
    XMSetReverbDelay(value);
    OmbrixEffectsChanged();
}
void MixoraDesk::setReverbScale(int32_t value) noexcept {
    XMSetReverbScale(value);
    OmbrixEffectsChanged();
}
void MixoraDesk::setReverbDecay(int32_t value) noexcept {
    XMSetReverbDecay(value);
    OmbrixEffectsChanged();
}
void MixoraDesk::enableDelay() noexcept {
    XMEnableDelay();
    OmbrixEffectsChanged();
}
void MixoraDesk::disableDelay() noexcept {
    XMDisableDelay();
    OmbrixEffectsChanged();
}
void MixoraDesk::setDelayTime(int32_t value) noexcept {
    XMSetDelayTime(value);
    OmbrixEffectsChanged();
}
void MixoraDesk::setDelayScale(int32_t value) noexcept {
    XMSetDelayScale(value);
    OmbrixEffectsChanged();
}
void MixoraDesk::setDelayPan(int32_t value) noexcept {
    XMSetDelayPan(value);
    OmbrixEffectsChanged();
}
void MixoraDesk::setDelayFeed(int32_t value) noexcept {
    XMSetDelayFeed(value);
    OmbrixEffectsChanged();
}
void MixoraDesk::enableSurround(bool on) noexcept {
    XMEnableSurround(on ? 1 : 0);
    OmbrixEffectsChanged();
}
void MixoraDesk::cancelVocal(bool on) noexcept {
    XMCancelVocal(on ? 1 : 0);
    OmbrixEffectsChanged();
}

bool MixoraDesk::loadSample(int pad, const QString& path) noexcept {
    try {
        const QByteArray name = QFile::encodeName(path);
        return XMLoadSample(pad, name.constData()) == 1;
    } catch (...) {  // only an allocation can fail here
        return false;
    }
}

void MixoraDesk::playSample(int pad) noexcept {
    XMPlaySample(pad);
    OmbrixEffectsChanged();
}
void MixoraDesk::stopSample(int pad) noexcept {
    XMStopSample(pad);
    OmbrixEffectsChanged();
}
void MixoraDesk::setSampleLoop(int pad, bool on) noexcept {
    XMSetSampleLoop(pad, on ? 1 : 0);
    OmbrixEffectsChanged();
}
void MixoraDesk::setSamplePan(int pad, int32_t pan) noexcept {
    XMSetSamplePan(pad, pan);
    OmbrixEffectsChanged();
}
void MixoraDesk::setSampleVolume(int pad, int32_t volume) noexcept {
    XMSetSampleVolume(pad, volume);
    OmbrixEffectsChanged();
}
void MixoraDesk::changePitch(uint32_t pitch) noexcept {
    OmbrixChangePitch(pitch);
}

}  // namespace ombrix
