#include "core/PlaybackControl.h"

#include <algorithm>

#include "output/AudioDevice.h"

namespace ombrix::mp3 {

void PlaybackControl::begin(bool decodeOnly) noexcept {
    stopRequested = false;
    paused = false;
    seekTarget = 0;
    pitch = 0x10000;
    seekRequested = false;
    pitchRequested = false;
    noOutput = decodeOnly;
    active = true;
}

void PlaybackControl::end() noexcept {
    active = false;
}

void PlaybackControl::requestStop() noexcept {
    if (active) stopRequested = true;
}

int32_t PlaybackControl::requestPause(bool on) {
    if (!active) return kNoPlayback;
    paused = on;
    std::lock_guard lock(deviceMutex_);
    if (!device_) return 0;
    return on ? device_->pause() : device_->restart();
}

void PlaybackControl::requestSeek(int32_t frame) noexcept {
    if (!active) return;
    seekTarget.store(frame, std::memory_order_relaxed);
    seekRequested.store(true, std::memory_order_release);
}

void PlaybackControl::requestPitch(uint32_t value) noexcept {
    if (!active) return;
    pitch.store(std::clamp(value, AudioDevice::kMinPitch, AudioDevice::kMaxPitch),
                std::memory_order_relaxed);
    pitchRequested.store(true, std::memory_order_release);
}

void PlaybackControl::attachDevice(AudioDevice* device) {
    std::lock_guard lock(deviceMutex_);
    device_ = device;
}

}  // namespace ombrix::mp3
