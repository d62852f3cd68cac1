#include "core/Playback.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <memory>
#include <optional>
#include <thread>

#include "core/DecoderSettings.h"
#include "core/FrameDecoder.h"
#include "core/FrameReader.h"
#include "core/PlaybackControl.h"
#include "core/PlaybackScope.h"
#include "core/SaturatingCast.h"
#include "core/SongSource.h"
#include "mixora.h"
#include "synthesis/SubbandSynthesizer.h"

namespace ombrix::mp3 {

namespace {

void engineBlock(int16_t* samples, int32_t count, int channels) {
    if (channels == 2) {
        shortStereo(samples, count, 0);
    } else {
        shortMono(samples, count, 0);
    }
}

}  // namespace

EffectsHooks EffectsHooks::engine() {
    EffectsHooks hooks;
    hooks.start = &XMInit;
    hooks.setSampleRate = &XMSetSampleRate;
    hooks.processBlock = &engineBlock;
    hooks.setDisplayDelaySource = &XMSetDisplayDelaySource;
    return hooks;
}

Playback::Playback(DecoderSettings& settings, PlaybackControl& control, EffectsHooks hooks)
    : settings_(settings), control_(control), hooks_(hooks) {}

Playback::Result Playback::run(const std::string& fileName, int32_t startOffset,
                               AudioDevice* device) {
    settings_.currentTimeMs = 0;
    settings_.songNumber = 0;
    following_.clear();
    if (hooks_.start) hooks_.start();
    ActivePlayback active(control_, device == nullptr);
    // Once a playback is over its position goes back to zero, so the next song cannot be
    // seen at the old song's position before its own first frame.
    PositionReset positionReset(settings_);

    std::unique_ptr<SongSource> song = SongSource::open(fileName, startOffset);
    if (!song) return kNoFrame;
    song->setGain(settings_.nextSongGain.load(std::memory_order_relaxed));

    const int samplesPerFrame = song->samplesPerFrame();
    settings_.msPerFrameNow = song->msPerFrame();
    settings_.samplesPerFrameNow = samplesPerFrame;
    settings_.segmentStart = 0;
    settings_.currentTimeMs = 0;

    const PcmFormat format = song->format();
    if (hooks_.setSampleRate) hooks_.setSampleRate(format.rate);
    // A stream volume of the device's own starts at the player's level.
    if (device)
        device->setLevel(control_.level.left.load(std::memory_order_relaxed),
                         control_.level.right.load(std::memory_order_relaxed));
    if (device && !device->open(format)) return kDeviceFailed;
    DeviceAttachment attachment(control_, device);
    DisplayDelay displayDelay(hooks_, control_);
    WaveOutput output(device, format, samplesPerFrame, settings_.bufferFrames.load(),
                      settings_.useMmx() || settings_.useK63D(), hooks_.processBlock,
                      &control_.stopRequested, &settings_.handedOverFrames, &control_.level);
    settings_.totalFrames = song->totalFrames();
    // Songs queued from now on must fit this stream to follow on it.
    control_.setStreamShape({format.channels, format.rate, samplesPerFrame});

    SongEnd end = SongEnd::kEnded;
    for (;;) {
        end = playSong(*song, output);
        if (end != SongEnd::kEnded) break;
        std::unique_ptr<SongSource> next = control_.takeQueued();
        if (!next) break;
        queueHeard(*next, output);
        song = std::move(next);  // the finished song's file is closed here
    }
    // A stop cuts off what is queued; a failed seek already dropped it.
    if (end == SongEnd::kStopped) output.markStopped();
    output.close();
    // Unless a stop cut it off, what was handed over has been played: the last song that
    // followed is the one heard.
    if (end != SongEnd::kStopped) commitHeard(true, nullptr);
    return kFinished;
}

Playback::SongEnd Playback::playSong(SongSource& song, WaveOutput& output) {
    FrameReader& reader = song.reader();
    FrameHeader& header = song.header();
    const int layer = song.layer();
    control_.songGain.store(song.gain(), std::memory_order_relaxed);
    // Only songs whose delay and padding are known keep their place in time across frames that
    // decode to nothing; other streams hand over what their frames give, as they always did.
    const bool keepTime = song.span().trimmed();

    SubbandSynthesizer synth0(0, settings_);
    std::optional<SubbandSynthesizer> synth1;
    if (song.format().channels == 2) synth1.emplace(1, settings_);
    DecoderContext context{
        reader, header, {&synth0, synth1 ? &*synth1 : nullptr}, output, settings_};
    std::unique_ptr<FrameDecoder> decoder =
        layer == 3 ? createLayer3Decoder(context) : createLayer12Decoder(context);

    for (;;) {
        while (control_.paused.load(std::memory_order_relaxed) &&
               !control_.stopRequested.load(std::memory_order_relaxed)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }

        if (control_.pitchRequested.load(std::memory_order_acquire)) {
            if (AudioDevice* device = output.device())
                device->setPitch(control_.pitch.load(std::memory_order_relaxed));
        }

        if (control_.seekRequested.exchange(false, std::memory_order_acquire)) {
            const int32_t target = control_.seekTarget.load(std::memory_order_relaxed);
            // The queued audio goes, so a song that followed is the one heard from now on, and
            // the seek moves within it.
            commitHeard(true, nullptr);
            // What is heard from now on starts at the target.
            settings_.segmentStart = target;
            output.reset();
            if (!song.seek(target)) return SongEnd::kSeekFailed;
            synth0.reset();
            if (synth1) synth1->reset();
            decoder->reset();
        }

        // A change of the effects goes back over the queue, so that it is heard after the
        // margin rather than after everything queued. Not while a following song is in the
        // queue: it waits until that song is heard.
        if (following_.empty() &&
            control_.refreshRequested.exchange(false, std::memory_order_acquire)) {
            const int64_t kept =
                output.rewind(int64_t{song.format().rate} * kRefreshMarginMs / 1000);
            if (kept >= 0) {
                const int64_t at = int64_t{settings_.segmentStart.load(std::memory_order_relaxed)} *
                                       song.samplesPerFrame() +
                                   kept;
                if (!song.seekToSample(at)) return SongEnd::kSeekFailed;
                synth0.reset();
                if (synth1) synth1->reset();
                decoder->reset();
            }
        }

        commitHeard(false, output.device());
        if (reader.audioFrameIndex() % 16 == 0 &&
            !control_.stopRequested.load(std::memory_order_relaxed))
            recordPosition(song);

        // The rest of the stream is the encoder's padding.
        if (song.pastEnd()) return SongEnd::kEnded;

        // The decoder of the first frame's layer serves the stream; a frame of another layer
        // (a false sync, or a damaged header) is not fed to it.
        if (header.layer == layer) {
            output.setGain(control_.songGain.load(std::memory_order_relaxed));
            const SongSource::Part part = song.keptPart();
            output.keepPart(part.first, part.end);
            const uint64_t flushed = output.framesFlushed();
            decoder->decodeFrame(song.crc());
            if (keepTime && output.framesFlushed() == flushed && !part.empty()) {
                output.keepPart(part.first, part.end);
                output.flushSilence();
            }
        }

        if (!song.readNext()) return SongEnd::kEnded;
        if (control_.stopRequested.load(std::memory_order_relaxed)) return SongEnd::kStopped;
    }
}

void Playback::recordPosition(const SongSource& song) {
    const int64_t spf = song.samplesPerFrame();
    const int64_t sample = std::max<int64_t>(0, song.frameStart());
    const int32_t frame = static_cast<int32_t>(std::min<int64_t>(sample / spf, INT32_MAX));
    settings_.lastRecordedFrame = frame;
    settings_.currentTimeMs =
        saturatingInt32(std::floor(static_cast<double>(sample) * 1000.0 / song.format().rate));
    const int32_t total = song.totalFrames();
    settings_.whereFraction =
        total > 0 ? std::min(1.0f, static_cast<float>(frame) / static_cast<float>(total)) : 0.0f;
}

void Playback::queueHeard(const SongSource& next, const WaveOutput& output) {
    // The finished song's last samples may still wait in the block being filled.
    const int64_t at =
        settings_.handedOverFrames.load(std::memory_order_relaxed) + output.pendingFrames();
    following_.push_back({at, next.totalFrames()});
    // Without a device nothing waits to be heard.
    if (!output.device()) commitHeard(true, nullptr);
}

void Playback::commitHeard(bool all, AudioDevice* device) {
    while (!following_.empty()) {
        const FollowingSong song = following_.front();
        if (!all) {
            // The playback's own device, asked directly: no lock is taken per frame.
            const int64_t unheard = device ? device->unheardFrames() : 0;
            const int64_t heard =
                settings_.handedOverFrames.load(std::memory_order_relaxed) - unheard;
            if (heard < song.at) return;
        }
        following_.pop_front();
        // Its first sample becomes the start of what is heard.
        settings_.handedOverFrames.fetch_sub(song.at, std::memory_order_relaxed);
        for (FollowingSong& later : following_) later.at -= song.at;
        settings_.segmentStart = 0;
        settings_.totalFrames = song.totalFrames;
        settings_.lastRecordedFrame = 0;
        settings_.currentTimeMs = 0;
        settings_.whereFraction = 0.0f;
        settings_.songNumber.fetch_add(1, std::memory_order_release);
    }
}

}  // namespace ombrix::mp3
