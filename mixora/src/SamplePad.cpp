#include "SamplePad.h"

#include "Limits.h"

namespace mixora {

SamplePad::SamplePad() {
    setOutputRate(kDefaultSampleRate);
}

void SamplePad::command(bool play) noexcept {
    uint64_t old = commands_.load(std::memory_order_relaxed);
    uint64_t next;
    do {
        next = ((old >> 1) + 1) << 1 | (play ? 1u : 0u);
    } while (!commands_.compare_exchange_weak(old, next, std::memory_order_acq_rel));
}

void SamplePad::setOutputRate(int hz) noexcept {
    outputRate_ = clampSampleRate(hz);
    const int ramp = rampSamples(outputRate_);
    gainLeft_.setRampLength(ramp);
    gainRight_.setRampLength(ramp);
    fade_.setRampLength(ramp);
}

void SamplePad::reset() noexcept {
    playing_ = false;
    stopping_ = false;
    fade_.jumpTo(0.0f);
    seenCommands_ = commands_.load(std::memory_order_acquire);
    voice_ = sound_.load(std::memory_order_acquire);
}

void SamplePad::applyCommands() noexcept {
    // Sequentially consistent: pairs with the publisher's check of the audio fence.
    const PcmSound* sound = sound_.load(std::memory_order_seq_cst);
    if (sound != voice_) {
        voice_ = sound;
        playing_ = false;
        stopping_ = false;
    }
    bool starting = false;
    const uint64_t commands = commands_.load(std::memory_order_acquire);
    if (commands != seenCommands_) {
        seenCommands_ = commands;
        if ((commands & 1u) != 0 && voice_ != nullptr) {
            // (Re)start from the beginning; the newest command wins when several arrive together.
            position_ = 0.0;
            playing_ = true;
            stopping_ = false;
            fade_.jumpTo(1.0f);
            starting = true;
        } else if (playing_) {
            stopping_ = true;
            fade_.setTarget(0.0f);
        }
    }
    const PanGains pan = balance(pan_.load(std::memory_order_relaxed));
    const float volume = q15(volume_.load(std::memory_order_relaxed));
    gainLeft_.setTarget(pan.left * volume);
    gainRight_.setTarget(pan.right * volume);
    if (starting) {
        // A sound starting from silence takes its place and level at once.
        gainLeft_.jumpTo(pan.left * volume);
        gainRight_.jumpTo(pan.right * volume);
    }
}

void SamplePad::mixInto(float* left, float* right, int n) noexcept {
    applyCommands();
    if (!playing_) return;

    const PcmSound& s = *voice_;
    const size_t frames = s.frames();
    const double step = static_cast<double>(s.sampleRate) / outputRate_;
    const bool loop = loop_.load(std::memory_order_relaxed);
    const int16_t* data = s.samples.data();
    const bool stereo = s.channels == 2;

    for (int i = 0; i < n; ++i) {
        if (position_ >= static_cast<double>(frames)) {
            if (!loop) {
                playing_ = false;
                return;
            }
            position_ -= static_cast<double>(frames);
            if (position_ >= static_cast<double>(frames)) position_ = 0.0;
        }
        const size_t a = static_cast<size_t>(position_);
        const float frac = static_cast<float>(position_ - static_cast<double>(a));
        const size_t b = a + 1 < frames ? a + 1 : (loop ? 0 : a);
        float l;
        float r;
        if (stereo) {
            l = data[2 * a] + (data[2 * b] - data[2 * a]) * frac;
            r = data[2 * a + 1] + (data[2 * b + 1] - data[2 * a + 1]) * frac;
        } else {
            l = r = data[a] + (data[b] - data[a]) * frac;
        }
        const float fade = fade_.next();
        left[i] += l * gainLeft_.next() * fade;
        right[i] += r * gainRight_.next() * fade;
        position_ += step;
        if (stopping_ && fade_.isSilent()) {
            playing_ = false;
            stopping_ = false;
            return;
        }
    }
}

}  // namespace mixora
