#include "MixoraEngine.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "DenormalGuard.h"
#include "Limits.h"
#include "WavReader.h"

namespace mixora {

namespace {
constexpr int kChunkFrames = 256;

bool validPad(int32_t pad) {
    return pad >= 0 && pad < MixoraEngine::kPads;
}
}  // namespace

void MixoraEngine::Settings::restoreDefaults() noexcept {
    const Settings defaults;
    fx.store(defaults.fx.load());
    reverb.store(defaults.reverb.load());
    delay.store(defaults.delay.load());
    surround.store(defaults.surround.load());
    karaoke.store(defaults.karaoke.load());
    reverbDelay.store(defaults.reverbDelay.load());
    reverbScale.store(defaults.reverbScale.load());
    reverbDecay.store(defaults.reverbDecay.load());
    delayTime.store(defaults.delayTime.load());
    delayScale.store(defaults.delayScale.load());
    delayPan.store(defaults.delayPan.load());
    delayFeed.store(defaults.delayFeed.load());
    octaves.store(defaults.octaves.load());
    for (auto& gain : octaveGains) gain.store(0.0f);
}

MixoraEngine::MixoraEngine() {
    fxMix_.setRampLength(rampSamples(rate_));
    meter_.setSampleRate(rate_);
}

MixoraEngine::~MixoraEngine() {
    stopRecording();
}

void MixoraEngine::destroy() noexcept {
    stopRecording();
    {
        std::lock_guard lock(controlMutex_);
        for (auto& pad : pads_) pad.setSound(nullptr);
        fence_.waitForAudio();
        for (auto& sound : sounds_) sound.reset();
        for (auto& pad : pads_) {
            pad.setLoop(false);
            pad.setPan(0);
            pad.setVolume(32767);
        }
    }
    settings_.restoreDefaults();
    visualization_.store(true);
    resetRequests_.fetch_add(1);
    meter_.clear();
}

void MixoraEngine::setSampleRate(int32_t hz) noexcept {
    if (hz <= 0) return;  // nonsense from a caller: keep the rate we have
    settings_.rate.store(clampSampleRate(hz));
}

void MixoraEngine::setOctaveGain(int32_t band, float gainDb) noexcept {
    if (band < 0 || band >= OctaveEqualizer::kBands || std::isnan(gainDb)) return;
    settings_.octaveGains[band].store(
        std::clamp(gainDb, OctaveEqualizer::kMinGainDb, OctaveEqualizer::kMaxGainDb));
}

bool MixoraEngine::loadSample(int32_t pad, const std::string& path) noexcept {
    if (!validPad(pad)) return false;
    std::unique_ptr<PcmSound> sound;
    try {
        sound = std::make_unique<PcmSound>(WavReader::readFile(path));
    } catch (const std::exception&) {
        return false;  // WavError, or no memory for a large file
    }
    std::unique_ptr<PcmSound> old;
    {
        std::lock_guard lock(controlMutex_);
        pads_[pad].setSound(sound.get());
        fence_.waitForAudio();
        old = std::exchange(sounds_[pad], std::move(sound));
    }
    return true;
}

void MixoraEngine::playSample(int32_t pad) noexcept {
    if (validPad(pad)) pads_[pad].play();
}
void MixoraEngine::stopSample(int32_t pad) noexcept {
    if (validPad(pad)) pads_[pad].stop();
}
void MixoraEngine::setSampleLoop(int32_t pad, bool on) noexcept {
    if (validPad(pad)) pads_[pad].setLoop(on);
}
void MixoraEngine::setSamplePan(int32_t pad, int32_t pan) noexcept {
    if (validPad(pad)) pads_[pad].setPan(pan);
}
void MixoraEngine::setSampleVolume(int32_t pad, int32_t volume) noexcept {
    if (validPad(pad)) pads_[pad].setVolume(volume);
}

void MixoraEngine::setDisplayDelaySource(int64_t (*source)(void*), void* context) noexcept {
    std::lock_guard lock(delayMutex_);
    delaySource_ = source;
    delayContext_ = context;
}

void MixoraEngine::enableVisualization(int32_t updatesPerSecond) noexcept {
    // The display data is computed when asked for, so the rate itself needs no timer here.
    visualization_.store(updatesPerSecond > 0);
    if (updatesPerSecond <= 0) meter_.clear();
}

void MixoraEngine::getVisualization(float* left, float* right, uint8_t* waveform,
                                    uint8_t* spectrum) noexcept {
    {
        std::lock_guard lock(delayMutex_);
        meter_.setDelay(delaySource_ ? delaySource_(delayContext_) : 0);
    }
    float l = 0.0f;
    float r = 0.0f;
    if (visualization_.load()) meter_.levels(l, r);
    if (left) *left = l;
    if (right) *right = r;
    if (waveform) meter_.waveform(waveform);
    if (spectrum) {
        std::array<int16_t, Spectrum::kFftSize> samples{};
        std::lock_guard lock(spectrumMutex_);
        for (int ch = 0; ch < 2; ++ch) {
            meter_.recent(ch, samples.data(), Spectrum::kFftSize);
            spectrum_.analyse(samples.data(), spectrum + ch * Spectrum::kBins);
        }
    }
}

bool MixoraEngine::startRecording(const std::string& path) noexcept {
    std::unique_ptr<WavRecorder> recorder;
    try {
        recorder = std::make_unique<WavRecorder>(path, settings_.rate.load(), 2);
    } catch (const std::exception&) {
        return false;
    }
    std::lock_guard lock(controlMutex_);
    recorder_.store(recorder.get());
    fence_.waitForAudio();
    if (recording_) recording_->finish();
    recording_ = std::move(recorder);
    return true;
}

void MixoraEngine::stopRecording() noexcept {
    std::lock_guard lock(controlMutex_);
    recorder_.store(nullptr);
    fence_.waitForAudio();
    if (recording_) recording_->finish();
    recording_.reset();
}

void MixoraEngine::applySettings() noexcept {
    const uint32_t resets = resetRequests_.load(std::memory_order_acquire);
    if (resets != seenResets_) {
        seenResets_ = resets;
        resetEffects();
        for (auto& pad : pads_) pad.reset();
        fxMix_.jumpTo(0.0f);
        octaves_.setGains({});
        octaves_.reset();
    }
    const int rate = settings_.rate.load(std::memory_order_relaxed);
    if (rate != rate_) {
        rate_ = rate;
        fxMix_.setRampLength(rampSamples(rate_));
        karaoke_.setSampleRate(rate_);
        surround_.setSampleRate(rate_);
        delay_.setSampleRate(rate_);
        reverb_.setSampleRate(rate_);
        octaves_.setSampleRate(rate_);
        for (auto& pad : pads_) pad.setOutputRate(rate_);
        meter_.setSampleRate(rate_);
    }
    std::array<float, OctaveEqualizer::kBands> octaveGains{};
    if (settings_.octaves.load(std::memory_order_relaxed))
        for (int k = 0; k < OctaveEqualizer::kBands; ++k)
            octaveGains[k] = settings_.octaveGains[k].load(std::memory_order_relaxed);
    octaves_.setGains(octaveGains);  // switched off, every band glides back to 0 dB

    reverb_.setPreDelayMs(settings_.reverbDelay.load(std::memory_order_relaxed));
    reverb_.setWetQ15(settings_.reverbScale.load(std::memory_order_relaxed));
    reverb_.setDecayMs(settings_.reverbDecay.load(std::memory_order_relaxed));
    delay_.setTimeMs(settings_.delayTime.load(std::memory_order_relaxed));
    delay_.setLevelQ15(settings_.delayScale.load(std::memory_order_relaxed));
    delay_.setPan(settings_.delayPan.load(std::memory_order_relaxed));
    delay_.setFeedbackQ15(settings_.delayFeed.load(std::memory_order_relaxed));

    // An effect switched on from silence starts with empty lines: what it held belongs to
    // audio from before it was switched off.
    const bool fx = settings_.fx.load(std::memory_order_relaxed);
    if (fx && fxMix_.isSilent()) {
        resetEffects();
        for (auto& pad : pads_) pad.reset();
    }
    fxMix_.setTarget(fx ? 1.0f : 0.0f);

    const auto enable = [](auto& effect, bool on) {
        if (on && !effect.isActive()) effect.reset();
        effect.setEnabled(on);
    };
    enable(karaoke_, settings_.karaoke.load(std::memory_order_relaxed));
    enable(surround_, settings_.surround.load(std::memory_order_relaxed));
    enable(delay_, settings_.delay.load(std::memory_order_relaxed));
    enable(reverb_, settings_.reverb.load(std::memory_order_relaxed));
}

void MixoraEngine::resetEffects() noexcept {
    karaoke_.setEnabled(false);
    surround_.setEnabled(false);
    delay_.setEnabled(false);
    reverb_.setEnabled(false);
    karaoke_.reset();
    surround_.reset();
    delay_.reset();
    reverb_.reset();
}

void MixoraEngine::process(int16_t* samples, int frames, int channels) noexcept {
    if (samples == nullptr || frames <= 0) return;
    AudioBlock block(fence_);
    DenormalGuard denormals;
    applySettings();

    // With effects off and their fade finished and the equaliser flat, the block is left
    // exactly as it came.
    if (octaves_.isActive() || !fxMix_.isSilent()) {
        for (int done = 0; done < frames; done += kChunkFrames)
            processChunk(samples + static_cast<size_t>(done) * channels,
                         std::min(kChunkFrames, frames - done), channels);
    }
    if (visualization_.load(std::memory_order_relaxed)) meter_.push(samples, frames, channels);
    if (WavRecorder* recorder = recorder_.load(std::memory_order_seq_cst))
        recorder->append(samples, frames, channels, rate_);
}

void MixoraEngine::processChunk(int16_t* samples, int frames, int channels) noexcept {
    std::array<float, kChunkFrames> left;
    std::array<float, kChunkFrames> right;
    if (channels == 2) {
        for (int i = 0; i < frames; ++i) {
            left[i] = samples[i * 2];
            right[i] = samples[i * 2 + 1];
        }
    } else {
        for (int i = 0; i < frames; ++i) left[i] = samples[i];
    }
    // The equaliser shapes the song before the effects see it, as a mixing desk's channel EQ
    // comes before its effect sends.
    if (octaves_.isActive())
        octaves_.process(left.data(), channels == 2 ? right.data() : nullptr, frames);
    if (channels != 2) std::copy_n(left.begin(), frames, right.begin());
    if (!fxMix_.isSilent()) applyEffects(left.data(), right.data(), frames);

    if (channels == 2) {
        for (int i = 0; i < frames; ++i) {
            samples[i * 2] = toInt16(left[i]);
            samples[i * 2 + 1] = toInt16(right[i]);
        }
    } else {
        for (int i = 0; i < frames; ++i) samples[i] = toInt16((left[i] + right[i]) * 0.5f);
    }
}

void MixoraEngine::applyEffects(float* left, float* right, int frames) noexcept {
    std::array<float, kChunkFrames> dryLeft;
    std::array<float, kChunkFrames> dryRight;
    const bool fading = fxMix_.isSmoothing() || fxMix_.current() != 1.0f;
    if (fading) {
        std::copy_n(left, frames, dryLeft.begin());
        std::copy_n(right, frames, dryRight.begin());
    }

    if (karaoke_.isActive()) karaoke_.process(left, right, frames);
    if (surround_.isActive()) surround_.process(left, right, frames);
    if (delay_.isActive()) delay_.process(left, right, frames);
    if (reverb_.isActive()) reverb_.process(left, right, frames);
    for (auto& pad : pads_) pad.mixInto(left, right, frames);

    if (fading) {
        for (int i = 0; i < frames; ++i) {
            const float mix = fxMix_.next();
            left[i] = dryLeft[i] + (left[i] - dryLeft[i]) * mix;
            right[i] = dryRight[i] + (right[i] - dryRight[i]) * mix;
        }
    }
}

}  // namespace mixora
