#include "core/PcmPlayback.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <thread>
#include <vector>

#include "core/DecoderSettings.h"
#include "core/PlaybackControl.h"
#include "core/PlaybackScope.h"
#include "core/SaturatingCast.h"
#include "output/WaveOutput.h"

namespace ombrix::mp3 {

namespace {

constexpr float kCentreWeight = 0.70710678f;  // -3 dB

// Which side each channel of a wider layout feeds, and how much: 0 left, 1 right, 2 both,
// -1 none.
struct ChannelRoute {
    int side = -1;
    float weight = 0.0f;
};

ChannelRoute routeOf(int channel, int channels) noexcept {
    if (channel == 0) return {0, 1.0f};
    if (channel == 1) return {1, 1.0f};
    if (channel == 2 && channels != 4) return {2, kCentreWeight};
    if (channel == 3 && channels >= 6) return {};
    // The rest (back and side pairs) alternate, left first.
    return {channel % 2 == 0 ? 0 : 1, kCentreWeight};
}

// The first sample of `frame`; the last frame of a source is partial, so its end is the
// source's end (a source is never asked to go past it).
int64_t sampleOf(int64_t frame, int64_t totalSamples) noexcept {
    const int64_t sample = frame * kPcmFrameSamples;
    return totalSamples > 0 ? std::min(sample, totalSamples) : sample;
}

}  // namespace

void mixToOutput(const int16_t* in, int channels, int frames, int32_t* out) noexcept {
    if (channels <= 2) {
        std::transform(in, in + static_cast<ptrdiff_t>(frames) * channels, out,
                       [](int16_t v) { return int32_t{v}; });
        return;
    }
    // Each side is divided by the sum of what feeds it, so a full-scale signal on every
    // channel stays within range.
    float sum[2] = {0.0f, 0.0f};
    ChannelRoute routes[kMaxPcmChannels];
    for (int c = 0; c < channels; ++c) {
        routes[c] = routeOf(c, channels);
        if (routes[c].side == 0 || routes[c].side == 2) sum[0] += routes[c].weight;
        if (routes[c].side == 1 || routes[c].side == 2) sum[1] += routes[c].weight;
    }
    for (int f = 0; f < frames; ++f) {
        const int16_t* frame = in + static_cast<ptrdiff_t>(f) * channels;
        float side[2] = {0.0f, 0.0f};
        for (int c = 0; c < channels; ++c) {
            const float v = static_cast<float>(frame[c]) * routes[c].weight;
            if (routes[c].side == 0 || routes[c].side == 2) side[0] += v;
            if (routes[c].side == 1 || routes[c].side == 2) side[1] += v;
        }
        out[2 * f] = static_cast<int32_t>(std::lround(side[0] / sum[0]));
        out[2 * f + 1] = static_cast<int32_t>(std::lround(side[1] / sum[1]));
    }
}

PcmPlayback::PcmPlayback(DecoderSettings& settings, PlaybackControl& control, EffectsHooks hooks)
    : settings_(settings), control_(control), hooks_(hooks) {}

bool PcmPlayback::usable(const OmbrixPcmSource& source) noexcept {
    return source.read && source.seek && source.channels >= 1 &&
           source.channels <= kMaxPcmChannels && source.sampleRate >= kMinPcmRate &&
           source.sampleRate <= kMaxPcmRate;
}

Playback::Result PcmPlayback::run(const OmbrixPcmSource& source, int32_t startMs,
                                  AudioDevice* device) {
    settings_.currentTimeMs = 0;
    settings_.songNumber = 0;
    if (!usable(source)) return Playback::kNoFrame;
    if (hooks_.start) hooks_.start();
    ActivePlayback active(control_, device == nullptr);
    PositionReset positionReset(settings_);

    const int rate = source.sampleRate;
    const int64_t totalSamples = std::max<int64_t>(0, source.totalFrames);
    const int32_t totalFrames = static_cast<int32_t>(
        std::min<int64_t>((totalSamples + kPcmFrameSamples - 1) / kPcmFrameSamples, INT32_MAX));
    settings_.msPerFrameNow = static_cast<float>(kPcmFrameSamples * 1000.0 / rate);
    settings_.samplesPerFrameNow = kPcmFrameSamples;

    int64_t frame = std::max<int64_t>(0, int64_t{startMs} * rate / 1000 / kPcmFrameSamples);
    if (totalFrames > 0) frame = std::min<int64_t>(frame, totalFrames);
    // The source is put in place even for the first frame: it may have been played before.
    if (source.seek(source.context, sampleOf(frame, totalSamples)) != 0) frame = 0;
    settings_.segmentStart = static_cast<int32_t>(frame);
    settings_.totalFrames = totalFrames;
    recordPosition(frame, rate);

    const PcmFormat format{source.channels == 1 ? 1 : 2, rate};
    if (hooks_.setSampleRate) hooks_.setSampleRate(rate);
    if (device)
        device->setLevel(control_.level.left.load(std::memory_order_relaxed),
                         control_.level.right.load(std::memory_order_relaxed));
    if (device && !device->open(format)) return Playback::kDeviceFailed;
    DeviceAttachment attachment(control_, device);
    DisplayDelay displayDelay(hooks_, control_);
    WaveOutput output(device, format, kPcmFrameSamples, settings_.bufferFrames.load(), false,
                      hooks_.processBlock, &control_.stopRequested, &settings_.handedOverFrames,
                      &control_.level);
    // No MPEG frame has this shape, so nothing is queued to follow a PCM source.
    control_.setStreamShape({format.channels, rate, 0});

    std::vector<int16_t> in(static_cast<size_t>(kPcmFrameSamples) *
                            static_cast<size_t>(source.channels));
    bool stopped = false;
    for (;;) {
        while (control_.paused.load(std::memory_order_relaxed) &&
               !control_.stopRequested.load(std::memory_order_relaxed)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (control_.stopRequested.load(std::memory_order_relaxed)) {
            stopped = true;
            break;
        }
        if (control_.pitchRequested.load(std::memory_order_acquire)) {
            if (AudioDevice* d = output.device())
                d->setPitch(control_.pitch.load(std::memory_order_relaxed));
        }
        if (control_.seekRequested.exchange(false, std::memory_order_acquire)) {
            int64_t target = control_.seekTarget.load(std::memory_order_relaxed);
            if (totalFrames > 0) target = std::min<int64_t>(target, totalFrames);
            settings_.segmentStart = static_cast<int32_t>(target);
            output.reset();
            // A source that cannot go there has nothing more to give.
            if (source.seek(source.context, sampleOf(target, totalSamples)) != 0) break;
            frame = target;
        }
        // A change of the effects goes back over the queue, as for MPEG songs.
        if (control_.refreshRequested.exchange(false, std::memory_order_acquire)) {
            const int64_t kept =
                output.rewind(int64_t{rate} * Playback::kRefreshMarginMs / 1000);
            if (kept >= 0) {
                const int64_t start = settings_.segmentStart.load(std::memory_order_relaxed);
                int64_t sample = sampleOf(start, totalSamples) + kept;
                if (totalSamples > 0) sample = std::min(sample, totalSamples);
                if (source.seek(source.context, sample) != 0) break;
                frame = start + kept / kPcmFrameSamples;
            }
        }
        if (frame % 16 == 0) recordPosition(frame, rate);

        const int32_t got = source.read(source.context, in.data(), kPcmFrameSamples);
        if (got <= 0) break;
        const int n = std::min(got, kPcmFrameSamples);
        mixToOutput(in.data(), source.channels, n, output.accumulator() + output.writePos(0));
        if (n < kPcmFrameSamples) output.keepPart(0, n);
        output.flush();
        ++frame;
    }
    if (stopped) output.markStopped();
    output.close();
    if (!stopped) recordPosition(frame, rate);
    return Playback::kFinished;
}

void PcmPlayback::recordPosition(int64_t frame, int rate) {
    settings_.lastRecordedFrame = static_cast<int32_t>(std::min<int64_t>(frame, INT32_MAX));
    settings_.currentTimeMs =
        saturatingInt32(std::floor(static_cast<double>(frame) * kPcmFrameSamples * 1000.0 / rate));
    const int32_t total = settings_.totalFrames.load();
    settings_.whereFraction =
        total > 0 ? std::min(1.0f, static_cast<float>(frame) / static_cast<float>(total)) : 0.0f;
}

}  // namespace ombrix::mp3
