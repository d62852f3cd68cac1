#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "ombrix/media/MediaControl.h"

namespace ombrix {

class PcmSource;

/**
 * @brief The playback thread of one PCM song: sets up the decoder library's output and runs
 *        OmbrixPlayPcm on a source, which blocks until the song has ended or was stopped.
 *
 * One object per run, never reused; the source must outlive it. While the thread runs, the
 * song is controlled through the library's exported calls (pause, seek, position).
 * Thread affinity: main thread, except the thread body.
 */
class SourcePlayback {
public:
    SourcePlayback(PcmSource& source, const MediaControl::Options& options, int startMs);
    ~SourcePlayback();  // stops and joins
    SourcePlayback(const SourcePlayback&) = delete;
    SourcePlayback& operator=(const SourcePlayback&) = delete;

    /// Requests the end of the song and joins the thread.
    void stop();
    /// The thread body is over (the song ended, was stopped or could not start).
    bool done() const noexcept { return done_.load(); }
    /// OmbrixPlayPcm's result once done (1 finished, 0 no device, -1 unusable source).
    int32_t result() const noexcept { return result_.load(); }
    /// The playback has begun to read its source: from now on the library's pause, seek and
    /// position calls reach it (before, they would be lost).
    bool begun() const noexcept { return begun_.load(); }
    /// Pauses (or, with false, resumes) the playback, also one that has not begun yet: it
    /// then starts paused.
    void setPaused(bool on);

private:
    void run();
    static int32_t readFrames(void* context, int16_t* frames, int32_t count);
    static int32_t seekFrame(void* context, int64_t frame);
    void beginOnce();

    PcmSource& source_;
    MediaControl::Options options_;
    int startMs_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> done_{false};
    std::atomic<int32_t> result_{1};
    std::atomic<bool> begun_{false};
    std::atomic<bool> pauseAtStart_{false};
    std::thread thread_;
};

}  // namespace ombrix
