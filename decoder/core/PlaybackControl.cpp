#include "core/PlaybackControl.h"

#include <algorithm>
#include <climits>

#include "core/DecoderSettings.h"
#include "core/SongSource.h"

namespace ombrix::mp3 {

PlaybackControl::PlaybackControl() = default;
PlaybackControl::~PlaybackControl() = default;

void PlaybackControl::begin(bool decodeOnly) noexcept {
    stopRequested = false;
    paused = false;
    seekTarget = 0;
    pitch = 0x10000;
    seekRequested = false;
    pitchRequested = false;
    refreshRequested = false;
    noOutput = decodeOnly;
    cancelQueued();
    active = true;
}

void PlaybackControl::end() noexcept {
    active = false;
    std::unique_ptr<SongSource> dropped;
    std::lock_guard lock(queueMutex_);
    shape_ = {};
    dropped = std::move(queued_);
}

void PlaybackControl::setStreamShape(const StreamShape& shape) {
    std::lock_guard lock(queueMutex_);
    shape_ = shape;
}

PlaybackControl::QueueResult PlaybackControl::queueNext(std::unique_ptr<SongSource> song) {
    if (!song) return QueueResult::kOtherShape;
    const StreamShape shape{song->format().channels, song->format().rate, song->samplesPerFrame()};
    std::unique_ptr<SongSource> replaced;
    std::lock_guard lock(queueMutex_);
    if (!active || shape_.rate == 0) return QueueResult::kNoPlayback;
    if (!(shape == shape_)) return QueueResult::kOtherShape;
    replaced = std::move(queued_);
    queued_ = std::move(song);
    return QueueResult::kQueued;
}

std::unique_ptr<SongSource> PlaybackControl::takeQueued() {
    std::lock_guard lock(queueMutex_);
    return std::move(queued_);
}

bool PlaybackControl::cancelQueued() noexcept {
    std::unique_ptr<SongSource> dropped;
    std::lock_guard lock(queueMutex_);
    dropped = std::move(queued_);
    return dropped != nullptr;
}

void PlaybackControl::requestStop() noexcept {
    if (!active) return;
    cancelQueued();
    stopRequested = true;
    wakeDevice();
}

int32_t PlaybackControl::requestPause(bool on) {
    if (!active) return kNoPlayback;
    cancelQueued();
    paused = on;
    std::lock_guard lock(deviceMutex_);
    if (!device_) return 0;
    return on ? device_->pause() : device_->restart();
}

void PlaybackControl::requestSeek(int32_t frame) noexcept {
    if (!active) return;
    cancelQueued();
    seekTarget.store(frame, std::memory_order_relaxed);
    seekRequested.store(true, std::memory_order_release);
    wakeDevice();
}

void PlaybackControl::requestRefresh() noexcept {
    if (!active) return;
    refreshRequested.store(true, std::memory_order_release);
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
