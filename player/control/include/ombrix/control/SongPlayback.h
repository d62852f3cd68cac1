#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace ombrix {

/**
 * @brief The playback thread of one MPEG song: sets up the decoder library and runs
 *        OmbrixPlay, which blocks until the song has ended or was stopped.
 *
 * One object per song, never reused. The fields are set on the main thread before start();
 * afterwards the main thread only calls stop(), which always joins the thread (the object is
 * never detached). The error sink is called on the playback thread; the owner forwards it to
 * its own thread with a queued call, so a stop never waits on it.
 * Thread affinity: main thread, except the thread body.
 */
class SongPlayback {
public:
    /// Platform priorities offered by the "Player Priority" menu, in its order.
    enum Priority { kLowest = 0, kLower, kNormal, kHigher, kHighest };

    using ErrorSink = std::function<void(int32_t result)>;

    /// @param finishedFlag set to true when the song ends by itself (not after stop())
    explicit SongPlayback(std::atomic<bool>* finishedFlag);
    ~SongPlayback();  // stops and joins
    SongPlayback(const SongPlayback&) = delete;
    SongPlayback& operator=(const SongPlayback&) = delete;

    ErrorSink errorSink;
    int32_t volume = 32767;
    int32_t startOffset = 0;
    QString fileName;
    bool useMMX = false;
    bool useK63D = false;
    bool noOutput = false;
    int32_t waveOutId = 0;
    int32_t bufferFrames = 8;
    int priority = kNormal;

    /// Starts the thread body. Call once.
    void start();
    /// Requests the end of the song and joins the thread.
    void stop();

    bool busy() const noexcept { return busy_.load(); }
    /// Elapsed milliseconds of the whole playback once it has returned.
    uint32_t playTicks() const noexcept { return playTicks_.load(); }
    /// The result of OmbrixPlay once the thread has ended (1 when it has not run).
    int32_t result() const noexcept { return result_.load(); }

    /// The nice value that stands for a priority index (out-of-range indices are normal).
    static int niceFor(int priority) noexcept;

private:
    void run();

    std::atomic<bool>* finishedFlag_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> busy_{false};
    std::atomic<uint32_t> playTicks_{0};
    std::atomic<int32_t> result_{1};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

}  // namespace ombrix
