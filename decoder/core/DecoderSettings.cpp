#include "core/DecoderSettings.h"

#include "synthesis/SubbandSynthesizer.h"

namespace ombrix::mp3 {

DecoderSettings::DecoderSettings() : window_(&windows_[0]) {
    for (auto& gain : eqGains) gain.store(0.0f, std::memory_order_relaxed);
}

void DecoderSettings::enableMmx(bool on) noexcept {
    if (useMmx_.exchange(on) != on) windowTablesReady = false;
}

void DecoderSettings::enableK63D(bool on) noexcept {
    if (useK63D_.exchange(on) != on) windowTablesReady = false;
}

void DecoderSettings::enableSimd(bool on) noexcept {
    if (useSimd_.exchange(on) != on) windowTablesReady = false;
}

void DecoderSettings::setVolume(int32_t volume) {
    std::lock_guard lock(volumeMutex_);
    // Build into a slot the playback thread is not reading (it holds the published one for a
    // single synthesis step at most), then publish it.
    SynthesisWindow& next = windows_[nextSlot_];
    nextSlot_ = (nextSlot_ + 1) % kWindowSlots;
    const SynthesisWindow& current = *window_.load(std::memory_order_relaxed);
    next.mmx = current.mmx;
    next.mmxBuilt = current.mmxBuilt;
    buildSynthesisWindow(volume, useMmx(), next);
    window_.store(&next, std::memory_order_release);
}

}  // namespace ombrix::mp3
