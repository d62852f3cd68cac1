#pragma once

#include <cstdint>

#include "core/Playback.h"
#include "mp3.h"

namespace ombrix::mp3 {

class AudioDevice;
class DecoderSettings;
class PlaybackControl;

/// PCM frames that make one "frame" of the position and seek calls, as an MPEG-1 Layer III
/// frame does, so that a seek step means the same time for both kinds of song.
constexpr int kPcmFrameSamples = 1152;
/// The rates a source may have (the effects engine's range).
constexpr int kMinPcmRate = 8000;
constexpr int kMaxPcmRate = 192000;
constexpr int kMaxPcmChannels = 8;

/// Frames of `channels` interleaved samples as the output takes them: one or two channels are
/// copied, more are mixed down to stereo (see OmbrixPlayPcm for the layout). `out` gets
/// `frames` x (1 or 2) samples.
void mixToOutput(const int16_t* in, int channels, int frames, int32_t* out) noexcept;

/// Plays a caller's PCM source through a device with the playback machinery of MPEG files: the
/// same control requests (pause, seek, pitch, stop), the same block output with the effects
/// engine, and positions that follow what the device has played.
///
/// Thread affinity: run() blocks the calling thread until the source ends or a stop; the
/// source's callbacks are called on that thread only.
class PcmPlayback {
public:
    PcmPlayback(DecoderSettings& settings, PlaybackControl& control,
                EffectsHooks hooks = EffectsHooks::engine());

    /// True when `source` can be played (callbacks present, channels and rate in range).
    static bool usable(const OmbrixPcmSource& source) noexcept;

    /// Plays `source` from `startMs` (rounded down to a frame of kPcmFrameSamples). A null
    /// device renders without output. kNoFrame for an unusable source.
    Playback::Result run(const OmbrixPcmSource& source, int32_t startMs, AudioDevice* device);

private:
    void recordPosition(int64_t frame, int rate);

    DecoderSettings& settings_;
    PlaybackControl& control_;
    EffectsHooks hooks_;
};

}  // namespace ombrix::mp3
