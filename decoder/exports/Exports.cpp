// The exported C interface: thin wrappers over the C++ core around the library's one
// process-wide playback. No exception leaves these functions.
#include <algorithm>
#include <cmath>
#include <memory>

#include "core/DecoderSettings.h"
#include "core/FrameReader.h"
#include "core/PcmPlayback.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"
#include "core/SaturatingCast.h"
#include "core/SongSource.h"
#include "mp3.h"
#include "output/AudioDevice.h"
#include "output/CaptureAudioDevice.h"

namespace {

using namespace ombrix::mp3;

// The library-wide state: settings that persist across songs and the control of the playback
// that runs at the moment.
struct Library {
    DecoderSettings settings;
    PlaybackControl control;
};

Library& library() {
    static Library instance;
    return instance;
}

constexpr int32_t kMaxBufferFrames = 1000;

// The frame heard now while a playback with output runs; otherwise the frame the playback
// reported last (decoding without output, or 0 once it ended).
int32_t heardFrame(Library& lib) {
    if (lib.control.active && !lib.control.noOutput) return lib.control.heardFrame(lib.settings);
    return lib.settings.lastRecordedFrame.load();
}

}  // namespace

extern "C" {

int32_t OmbrixPlay(const char* fileName, int32_t startOffset, int32_t noOutput) {
    if (!fileName) return -1;
    try {
        Library& lib = library();
        std::unique_ptr<AudioDevice> device;
        if (!noOutput)
            device =
                createSoundDevice(lib.settings.waveDevice.load(), lib.settings.latencyMs.load());
        Playback playback(lib.settings, lib.control);
        return playback.run(fileName, startOffset, device.get());
    } catch (...) {
        return -1;
    }
}

int32_t OmbrixPlayPcm(const OmbrixPcmSource* source, int32_t startMs, int32_t noOutput) {
    if (!source || !PcmPlayback::usable(*source)) return -1;
    try {
        Library& lib = library();
        std::unique_ptr<AudioDevice> device;
        if (!noOutput)
            device =
                createSoundDevice(lib.settings.waveDevice.load(), lib.settings.latencyMs.load());
        PcmPlayback playback(lib.settings, lib.control);
        return playback.run(*source, startMs, device.get());
    } catch (...) {
        return -1;
    }
}

int32_t OmbrixQueueNext(const char* fileName, int32_t startOffset) {
    if (!fileName) return -1;
    try {
        std::unique_ptr<SongSource> song = SongSource::open(fileName, startOffset);
        if (!song) return -1;
        song->setGain(library().settings.nextSongGain.load(std::memory_order_relaxed));
        switch (library().control.queueNext(std::move(song))) {
            case PlaybackControl::QueueResult::kQueued:
                return 1;
            case PlaybackControl::QueueResult::kNoPlayback:
                return 0;
            case PlaybackControl::QueueResult::kOtherShape:
                break;
        }
        return -1;
    } catch (...) {
        return -1;
    }
}

int32_t OmbrixCancelNext(void) {
    return library().control.cancelQueued() ? 1 : 0;
}

int32_t OmbrixSongNumber(void) {
    return library().settings.songNumber.load(std::memory_order_acquire);
}

void OmbrixStop(void) {
    library().control.requestStop();
}

int32_t OmbrixPause(int32_t flag) {
    try {
        return library().control.requestPause((flag & 0xFF) != 0);
    } catch (...) {
        return PlaybackControl::kNoPlayback;
    }
}

int32_t OmbrixSeek(int32_t deltaFrames) {
    Library& lib = library();
    const int64_t target = std::max<int64_t>(0, int64_t{heardFrame(lib)} + deltaFrames);
    const int32_t clamped = static_cast<int32_t>(std::min<int64_t>(target, INT32_MAX));
    lib.control.requestSeek(clamped);
    return clamped;
}

int32_t OmbrixAbsoluteSeek(float fraction) {
    Library& lib = library();
    if (!std::isfinite(fraction)) fraction = 0.0f;
    fraction = std::clamp(fraction, 0.0f, 1.0f);
    const int32_t target =
        saturatingInt32(double{fraction} * static_cast<double>(lib.settings.totalFrames.load()));
    lib.control.requestSeek(target);
    return target;
}

void OmbrixChangePitch(uint32_t pitch) {
    library().control.requestPitch(pitch);
}

float OmbrixWhere(void) {
    Library& lib = library();
    if (!lib.control.active || lib.control.noOutput) return lib.settings.whereFraction.load();
    const int32_t total = lib.settings.totalFrames.load();
    if (total <= 0) return 0.0f;
    return std::clamp(static_cast<float>(static_cast<double>(heardFrame(lib)) / total), 0.0f, 1.0f);
}

int32_t OmbrixGetCurrentTime(void) {
    Library& lib = library();
    if (!lib.control.active || lib.control.noOutput) return lib.settings.currentTimeMs.load();
    return saturatingInt32(
        std::floor(static_cast<double>(heardFrame(lib)) * lib.settings.msPerFrameNow.load()));
}

void OmbrixSetLatency(int32_t ms) {
    library().settings.latencyMs = std::clamp(ms, kMinLatencyMs, kMaxLatencyMs);
}

int32_t OmbrixGetTotalMs(const char* fileName, int32_t startOffset) {
    if (!fileName) return 0;
    try {
        FrameReader reader(fileName, startOffset);
        FrameHeader header;
        if (!reader.readFrame(header)) return 0;
        return saturatingInt32(reader.totalMs(header));
    } catch (...) {
        return 0;
    }
}

int32_t OmbrixDecodePcm(const char* fileName, int32_t startOffset, OmbrixPcmSink sink,
                        void* context) {
    if (!fileName || !sink) return -1;
    try {
        // Settings and control of its own: the running playback and its level are not touched.
        DecoderSettings settings;
        settings.setVolume(32768);
        PlaybackControl control;
        bool stopped = false;
        CaptureAudioDevice device(
            [&](const PcmFormat& format, const int16_t* samples, size_t count) {
                if (stopped) return;
                const auto n = static_cast<int32_t>(std::min<size_t>(count, INT32_MAX));
                if (sink(context, format.channels, format.rate, samples, n) == 0) {
                    stopped = true;
                    control.requestStop();
                }
            });
        Playback playback(settings, control, EffectsHooks{});
        const Playback::Result result = playback.run(fileName, startOffset, &device);
        if (result == Playback::kNoFrame) return -1;
        return stopped ? 0 : 1;
    } catch (...) {
        return -1;
    }
}

void OmbrixSetVolume(int32_t volume) {
    try {
        library().settings.setVolume(volume);
    } catch (...) {
    }
}

void OmbrixSetOutputLevel(int32_t left, int32_t right) {
    const auto held = [](int32_t v) {
        return static_cast<uint32_t>(std::clamp<int32_t>(v, 0, StreamLevel::kUnity));
    };
    library().control.setLevel(held(left), held(right));
}

void OmbrixSetEQ(int32_t band, float gain) {
    if (band < 0 || band > 31) return;
    Library& lib = library();
    if (lib.settings.eqGains[static_cast<size_t>(band)].exchange(gain, std::memory_order_relaxed) !=
        gain)
        lib.control.requestRefresh();
}

void OmbrixEnableEQ(int32_t flag) {
    Library& lib = library();
    if (lib.settings.eqEnabled.exchange(flag) != flag) lib.control.requestRefresh();
}

void OmbrixSetSongGain(int32_t which, float gain) {
    Library& lib = library();
    const float held = std::isfinite(gain) ? std::clamp(gain, 0.0f, kMaxSongGain) : 1.0f;
    if (which == 0) {
        if (lib.control.songGain.exchange(held) != held) lib.control.requestRefresh();
    } else {
        lib.settings.nextSongGain = held;
    }
}

void OmbrixEffectsChanged(void) {
    library().control.requestRefresh();
}

void OmbrixSelectWaveOut(int32_t device) {
    library().settings.waveDevice = device;
}

void OmbrixSetBufferSize(int32_t frames) {
    library().settings.bufferFrames = std::clamp(frames, 1, kMaxBufferFrames);
}

void OmbrixEnableMMX(int32_t flag) {
    library().settings.enableMmx(flag != 0);
}

void OmbrixEnableK63D(int32_t flag) {
    library().settings.enableK63D(flag != 0);
}

void OmbrixEnableSIMD(int32_t flag) {
    library().settings.enableSimd(flag != 0);
}
}
