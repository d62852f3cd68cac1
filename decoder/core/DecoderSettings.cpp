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

const SynthesisWindow& DecoderSettings::window() const noexcept {
    // Mark the window, then check it is still the published one: once the check passes, a
    // writer choosing a slot sees it either published or marked and leaves it alone.
    const SynthesisWindow* w = window_.load(std::memory_order_seq_cst);
    for (;;) {
        held_.store(w, std::memory_order_seq_cst);
        const SynthesisWindow* now = window_.load(std::memory_order_seq_cst);
        if (now == w) return *w;
        w = now;
    }
}

void DecoderSettings::setVolume(int32_t volume) {
    std::lock_guard lock(volumeMutex_);
    // Build into a slot that is neither published nor held by the reader, then publish it.
    const SynthesisWindow* published = window_.load(std::memory_order_seq_cst);
    const SynthesisWindow* held = held_.load(std::memory_order_seq_cst);
    SynthesisWindow* free = nullptr;
    for (SynthesisWindow& w : windows_) {
        if (&w != published && &w != held) {
            free = &w;
            break;
        }
    }
    SynthesisWindow& next = *free;  // three slots, at most two taken
    const SynthesisWindow& current = *published;
    next.mmx = current.mmx;
    next.mmxFine = current.mmxFine;
    next.mmxBuilt = current.mmxBuilt;
    buildSynthesisWindow(volume, useMmx(), next);
    window_.store(&next, std::memory_order_release);
}

}  // namespace ombrix::mp3
