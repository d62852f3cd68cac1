#pragma once

#include <QString>
#include <cstdint>

namespace ombrix {

/**
 * @brief What the DJ control asks of the effects engine and the decoder: one method per call.
 *        Values arrive as the engine takes them (already scaled); pads are 0..7.
 *
 * Thread affinity: main thread. Nothing throws.
 */
class EffectsDesk {
public:
    EffectsDesk() = default;
    virtual ~EffectsDesk() = default;
    EffectsDesk(const EffectsDesk&) = delete;
    EffectsDesk& operator=(const EffectsDesk&) = delete;

    virtual void enableReverb() noexcept = 0;
    virtual void disableReverb() noexcept = 0;
    virtual void setReverbDelay(int32_t value) noexcept = 0;  ///< 1..128
    virtual void setReverbScale(int32_t value) noexcept = 0;  ///< 0..32767
    virtual void setReverbDecay(int32_t value) noexcept = 0;  ///< 200..30000
    virtual void enableDelay() noexcept = 0;
    virtual void disableDelay() noexcept = 0;
    virtual void setDelayTime(int32_t value) noexcept = 0;   ///< 1..32767
    virtual void setDelayScale(int32_t value) noexcept = 0;  ///< 0..32767
    virtual void setDelayPan(int32_t value) noexcept = 0;    ///< -32768..32767
    virtual void setDelayFeed(int32_t value) noexcept = 0;   ///< 0..32767
    virtual void enableSurround(bool on) noexcept = 0;
    virtual void cancelVocal(bool on) noexcept = 0;

    /// Loads the wave file @p path into @p pad; false when it cannot be loaded (the pad then
    /// keeps what it had).
    virtual bool loadSample(int pad, const QString& path) noexcept = 0;
    virtual void playSample(int pad) noexcept = 0;
    virtual void stopSample(int pad) noexcept = 0;
    virtual void setSampleLoop(int pad, bool on) noexcept = 0;
    virtual void setSamplePan(int pad, int32_t pan) noexcept = 0;        ///< -32768..32767
    virtual void setSampleVolume(int pad, int32_t volume) noexcept = 0;  ///< 0..32767

    /// The decoder's playback rate, 16.16 fixed point (0x10000 is normal speed).
    virtual void changePitch(uint32_t pitch) noexcept = 0;
};

}  // namespace ombrix
