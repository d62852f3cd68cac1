#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace mixora {

/// Lets control threads replace objects that the audio thread reads through atomic pointers,
/// without the audio thread ever waiting on them. The audio thread brackets each block with
/// enter/leave (the counter is odd inside a block). A control thread publishes the new pointer
/// (sequentially consistent store), then waitForAudio(): when it returns, no block that could
/// still see the old pointer is running, and the old object may be freed.
///
/// enter also keeps two audio threads from processing at the same time (a second caller waits
/// for the first block to end), which keeps a misused interface memory-safe.
///
/// Thread affinity: enter/leave on audio threads, waitForAudio on control threads.
class AudioFence {
public:
    void enter() noexcept {
        uint64_t s = seq_.load(std::memory_order_relaxed);
        for (;;) {
            if (s & 1u) {
                std::this_thread::yield();
                s = seq_.load(std::memory_order_relaxed);
            } else if (seq_.compare_exchange_weak(s, s + 1, std::memory_order_seq_cst)) {
                return;
            }
        }
    }
    void leave() noexcept { seq_.fetch_add(1, std::memory_order_seq_cst); }

    void waitForAudio() const noexcept {
        const uint64_t s = seq_.load(std::memory_order_seq_cst);
        if ((s & 1u) == 0) return;
        while (seq_.load(std::memory_order_seq_cst) == s) std::this_thread::yield();
    }

private:
    std::atomic<uint64_t> seq_{0};
};

/// Brackets one block on the audio thread.
class AudioBlock {
public:
    explicit AudioBlock(AudioFence& fence) noexcept : fence_(fence) { fence_.enter(); }
    ~AudioBlock() { fence_.leave(); }
    AudioBlock(const AudioBlock&) = delete;
    AudioBlock& operator=(const AudioBlock&) = delete;

private:
    AudioFence& fence_;
};

}  // namespace mixora
