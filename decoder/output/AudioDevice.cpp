#include "output/AudioDevice.h"

#include <chrono>
#include <thread>

namespace ombrix::mp3 {

void AudioDevice::waitUntilPlayed(uint64_t blockId, const std::atomic<bool>* abandon, int pollMs) {
    while (stillPlaying(blockId)) {
        if (abandon && abandon->load(std::memory_order_relaxed)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
}

}  // namespace ombrix::mp3
