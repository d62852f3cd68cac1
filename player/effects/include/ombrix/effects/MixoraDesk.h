#pragma once

#include "ombrix/effects/EffectsDesk.h"

namespace ombrix {

/**
 * @brief The program's effects desk: the Mixora engine's XM* calls and the decoder's pitch.
 *
 * Thread affinity: main thread. Nothing throws.
 */
class MixoraDesk final : public EffectsDesk {
public:
    void enableReverb() noexcept override;
    void disableReverb() noexcept override;
    void setReverbDelay(int32_t value) noexcept override;
    void setReverbScale(int32_t value) noexcept override;
    void setReverbDecay(int32_t value) noexcept override;
    void enableDelay() noexcept override;
    void disableDelay() noexcept override;
    void setDelayTime(int32_t value) noexcept override;
    void setDelayScale(int32_t value) noexcept override;
    void setDelayPan(int32_t value) noexcept override;
    void setDelayFeed(int32_t value) noexcept override;
    void enableSurround(bool on) noexcept override;
    void cancelVocal(bool on) noexcept override;
    bool loadSample(int pad, const QString& path) noexcept override;
    void playSample(int pad) noexcept override;
    void stopSample(int pad) noexcept override;
    void setSampleLoop(int pad, bool on) noexcept override;
    void setSamplePan(int pad, int32_t pan) noexcept override;
    void setSampleVolume(int pad, int32_t volume) noexcept override;
    void changePitch(uint32_t pitch) noexcept override;
};

}  // namespace ombrix
