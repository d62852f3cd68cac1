#include "core/PlaybackControl.h"

#include <algorithm>
#include <climits>

#include "core/DecoderSettings.h"


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
    if (!active) return;
    stopRequested = true;
    wakeDevice();
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
    wakeDevice();
}

void PlaybackControl::wakeDevice() noexcept {
    // A playback waiting on its device serves the request now rather than after a block.
    std::lock_guard lock(deviceMutex_);
    if (device_) device_->wake();
}

int64_t PlaybackControl::unheardFrames() noexcept {
    std::lock_guard lock(deviceMutex_);
    return device_ ? device_->unheardFrames() : 0;
}

int32_t PlaybackControl::heardFrame(const DecoderSettings& settings) noexcept {
    if (seekRequested.load(std::memory_order_acquire))
        return seekTarget.load(std::memory_order_relaxed);
    const int64_t heard = std::max<int64_t>(
        0, settings.handedOverFrames.load(std::memory_order_relaxed) - unheardFrames());
    const int64_t spf = std::max(1, settings.samplesPerFrameNow.load(std::memory_order_relaxed));
    const int64_t frame = settings.segmentStart.load(std::memory_order_relaxed) + heard / spf;
    return static_cast<int32_t>(std::min<int64_t>(frame, INT32_MAX));
}

void PlaybackControl::requestPitch(uint32_t value) noexcept {
    if (!active) return;
    pitch.store(std::clamp(value, AudioDevice::kMinPitch, AudioDevice::kMaxPitch),
                std::memory_order_relaxed);
    pitchRequested.store(true, std::memory_order_release);
}

void PlaybackControl::setLevel(uint32_t left, uint32_t right) noexcept {
    left = std::min(left, StreamLevel::kUnity);
    right = std::min(right, StreamLevel::kUnity);
    level.left.store(left, std::memory_order_relaxed);
    level.right.store(right, std::memory_order_relaxed);
    std::lock_guard lock(deviceMutex_);
    if (device_) device_->setLevel(left, right);
}

void PlaybackControl::attachDevice(AudioDevice* device) {
    std::lock_guard lock(deviceMutex_);
    device_ = device;
    if (device_)
        device_->setLevel(level.left.load(std::memory_order_relaxed),
                          level.right.load(std::memory_order_relaxed));
}

}  // namespace ombrix::mp3
