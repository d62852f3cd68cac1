#include "LevelMeter.h"

#include <algorithm>
#include <cstdlib>

namespace mixora {

namespace {
constexpr uint64_t kMask = LevelMeter::kHistoryFrames - 1;
}

void LevelMeter::push(const int16_t* samples, int frames, int channels) noexcept {
    uint64_t w = written_.load(std::memory_order_relaxed);
    for (int i = 0; i < frames; ++i, ++w) {
        const size_t slot = static_cast<size_t>(w & kMask) * 2;
        const int16_t l = samples[i * channels];
        const int16_t r = channels == 2 ? samples[i * 2 + 1] : l;
        ring_[slot].store(l, std::memory_order_relaxed);
        ring_[slot + 1].store(r, std::memory_order_relaxed);
    }
    written_.store(w, std::memory_order_release);
}

uint64_t LevelMeter::heardEnd() const noexcept {
    const uint64_t w = written_.load(std::memory_order_acquire);
    const int64_t delay =
        std::clamp<int64_t>(delay_.load(std::memory_order_relaxed), 0, kHistoryFrames - kMaxRecent);
    return w > static_cast<uint64_t>(delay) ? w - static_cast<uint64_t>(delay) : 0;
}

void LevelMeter::levels(float& left, float& right) const noexcept {
    const uint64_t w = heardEnd();
    const int rate = rate_.load(std::memory_order_relaxed);
    const uint64_t window = std::min<uint64_t>(
        {w, static_cast<uint64_t>(std::max(1, rate * kLevelWindowMs / 1000)), kHistoryFrames});
    int peakL = 0;
    int peakR = 0;
    for (uint64_t i = w - window; i < w; ++i) {
        const size_t slot = static_cast<size_t>(i & kMask) * 2;
        peakL = std::max(peakL,
                         std::abs(static_cast<int>(ring_[slot].load(std::memory_order_relaxed))));
        peakR = std::max(
            peakR, std::abs(static_cast<int>(ring_[slot + 1].load(std::memory_order_relaxed))));
    }
    left = static_cast<float>(std::min(peakL, 32767)) * 256.0f;
    right = static_cast<float>(std::min(peakR, 32767)) * 256.0f;
}

void LevelMeter::recent(int channel, int16_t* out, int n) const noexcept {
    n = std::clamp(n, 0, kMaxRecent);
    const uint64_t w = heardEnd();
    const int have = static_cast<int>(std::min<uint64_t>(w, static_cast<uint64_t>(n)));
    const int missing = n - have;
    std::fill(out, out + missing, int16_t{0});
    for (int i = 0; i < have; ++i) {
        const uint64_t frame = w - static_cast<uint64_t>(have) + static_cast<uint64_t>(i);
        out[missing + i] =
            ring_[static_cast<size_t>(frame & kMask) * 2 + channel].load(std::memory_order_relaxed);
    }
}

void LevelMeter::waveform(uint8_t* out) const noexcept {
    std::array<int16_t, kWaveformSamples> channel{};
    for (int ch = 0; ch < 2; ++ch) {
        recent(ch, channel.data(), kWaveformSamples);
        for (int i = 0; i < kWaveformSamples; ++i)
            out[ch * kWaveformSamples + i] =
                static_cast<uint8_t>(static_cast<int8_t>(channel[i] >> 8));
    }
}

void LevelMeter::clear() noexcept {
    for (auto& s : ring_) s.store(0, std::memory_order_relaxed);
    // Also forget how much was written, so a short new block is not mixed with old audio.
    written_.store(0, std::memory_order_release);
}

}  // namespace mixora
