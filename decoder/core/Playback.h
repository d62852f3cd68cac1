#pragma once

#include <cstdint>
#include <string>

#include "output/WaveOutput.h"

namespace ombrix::mp3 {

class AudioDevice;
class DecoderSettings;
class PlaybackControl;
class SongSource;

/// Calls into the effects engine made by a playback: once at its start, when the output format
/// is known, and for every finished block.
struct EffectsHooks {
    void (*start)() = nullptr;
    void (*setSampleRate)(int32_t rate) = nullptr;
    BlockProcessor processBlock = nullptr;
    /// Where the engine's display asks how far the output lags (null: not told).
    void (*setDisplayDelaySource)(int64_t (*source)(void*), void* context) = nullptr;

    /// The effects engine linked with the library.
    static EffectsHooks engine();
};

/// Plays one file from its first frame to its end through a device: reads frames, decodes them,
/// synthesises and streams blocks, and serves the requests of its control once per frame. Only
/// the song's own samples are handed over (a LAME tag's encoder delay and padding are left
/// out).
///
/// Thread affinity: run() blocks the calling thread for the whole song; the control and the
/// settings may be used from other threads meanwhile.
class Playback {
public:
    enum Result : int32_t { kNoFrame = -1, kDeviceFailed = 0, kFinished = 1 };

    Playback(DecoderSettings& settings, PlaybackControl& control,
             EffectsHooks hooks = EffectsHooks::engine());

    /// Plays `fileName` from `startOffset`. A null device decodes without output.
    Result run(const std::string& fileName, int32_t startOffset, AudioDevice* device);

private:
    enum class SongEnd { kEnded, kStopped, kSeekFailed };

    SongEnd playSong(SongSource& song, WaveOutput& output);
    void recordPosition(const SongSource& song);

    DecoderSettings& settings_;
    PlaybackControl& control_;
    EffectsHooks hooks_;
};

}  // namespace ombrix::mp3
