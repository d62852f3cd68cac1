#pragma once

#include <cstdint>
#include <deque>
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
/// out). When a song queued on the control is there at the end, it follows on the same stream
/// without a break, and so on.
///
/// Thread affinity: run() blocks the calling thread for the whole song; the control and the
/// settings may be used from other threads meanwhile.
class Playback {
public:
    /// What stays of the queue when a change of the effects rewrites it: enough for the
    /// rewrite to be decoded before the sound server gets there.
    static constexpr int32_t kRefreshMarginMs = 20;

    enum Result : int32_t { kNoFrame = -1, kDeviceFailed = 0, kFinished = 1 };

    Playback(DecoderSettings& settings, PlaybackControl& control,
             EffectsHooks hooks = EffectsHooks::engine());

    /// Plays `fileName` from `startOffset`, then the songs queued meanwhile. A null device
    /// decodes without output.
    Result run(const std::string& fileName, int32_t startOffset, AudioDevice* device);

private:
    enum class SongEnd { kEnded, kStopped, kSeekFailed };

    // A song that followed on the stream and is not heard yet: the handed-over frames at which
    // its first sample goes to the device, and its length.
    struct FollowingSong {
        int64_t at = 0;
        int32_t totalFrames = 0;
    };

    SongEnd playSong(SongSource& song, WaveOutput& output);
    void recordPosition(const SongSource& song);
    /// `next` follows the song whose last samples the output holds.
    void queueHeard(const SongSource& next, const WaveOutput& output);
    /// Makes each following song the heard one once `device` has played up to it, or all of
    /// them at once when `all` (the audio before them was dropped or has been played).
    void commitHeard(bool all, AudioDevice* device);

    DecoderSettings& settings_;
    PlaybackControl& control_;
    EffectsHooks hooks_;
    std::deque<FollowingSong> following_;  // the playback thread's own
};

}  // namespace ombrix::mp3
