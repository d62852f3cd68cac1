#include "ombrix/effects/MixoraDesk.h"

#include <QFile>

#include "mixora.h"
#include "mp3.h"

namespace ombrix {

void MixoraDesk::enableReverb() noexcept {
    XMEnableReverb();
}
void MixoraDesk::disableReverb() noexcept {
    XMDisableReverb();
}
void MixoraDesk::setReverbDelay(int32_t value) noexcept {
    XMSetReverbDelay(value);
}
void MixoraDesk::setReverbScale(int32_t value) noexcept {
    XMSetReverbScale(value);
}
void MixoraDesk::setReverbDecay(int32_t value) noexcept {
    XMSetReverbDecay(value);
}
void MixoraDesk::enableDelay() noexcept {
    XMEnableDelay();
}
void MixoraDesk::disableDelay() noexcept {
    XMDisableDelay();
}
void MixoraDesk::setDelayTime(int32_t value) noexcept {
    XMSetDelayTime(value);
}
void MixoraDesk::setDelayScale(int32_t value) noexcept {
    XMSetDelayScale(value);
}
void MixoraDesk::setDelayPan(int32_t value) noexcept {
    XMSetDelayPan(value);
}
void MixoraDesk::setDelayFeed(int32_t value) noexcept {
    XMSetDelayFeed(value);
}
void MixoraDesk::enableSurround(bool on) noexcept {
    XMEnableSurround(on ? 1 : 0);
}
void MixoraDesk::cancelVocal(bool on) noexcept {
    XMCancelVocal(on ? 1 : 0);
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
}
void MixoraDesk::stopSample(int pad) noexcept {
    XMStopSample(pad);
}
void MixoraDesk::setSampleLoop(int pad, bool on) noexcept {
    XMSetSampleLoop(pad, on ? 1 : 0);
}
void MixoraDesk::setSamplePan(int pad, int32_t pan) noexcept {
    XMSetSamplePan(pad, pan);
}
void MixoraDesk::setSampleVolume(int pad, int32_t volume) noexcept {
    XMSetSampleVolume(pad, volume);
}
void MixoraDesk::changePitch(uint32_t pitch) noexcept {
    OmbrixChangePitch(pitch);
}

}  // namespace ombrix
