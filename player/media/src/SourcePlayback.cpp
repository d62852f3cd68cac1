#include "SourcePlayback.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

#include "mixora.h"
#include "mp3.h"
#include "ombrix/media/PcmSource.h"

namespace ombrix {
int32_t SourcePlayback::readFrames(void* context, int16_t* frames, int32_t count) {
    auto* self = static_cast<SourcePlayback*>(context);
    self->beginOnce();
    return self->source_.read(frames, count);
}

int32_t SourcePlayback::seekFrame(void* context, int64_t frame) {
    auto* self = static_cast<SourcePlayback*>(context);
    return self->source_.seek(frame) ? 0 : -1;
}

void SourcePlayback::beginOnce() {
    if (begun_.load(std::memory_order_relaxed)) return;
    begun_.store(true);
    // A pause asked for before the playback ran: the device is attached by now.
    if (pauseAtStart_.exchange(false)) OmbrixPause(1);
}

void SourcePlayback::setPaused(bool on) {
    if (!on) {
        pauseAtStart_.store(false);
        if (begun_.load()) OmbrixPause(0);
        return;
    }
    // Whichever of the two threads sees both flags pauses, and only one of them does.
    pauseAtStart_.store(true);
    if (begun_.load() && pauseAtStart_.exchange(false)) OmbrixPause(1);
}

SourcePlayback::SourcePlayback(PcmSource& source, const MediaControl::Options& options, int startMs)
    : source_(source), options_(options), startMs_(startMs) {
    thread_ = std::thread([this] { run(); });
}

SourcePlayback::~SourcePlayback() {
    stop();
}

void SourcePlayback::stop() {
    if (!thread_.joinable()) return;
    stopRequested_.store(true);
    // The library ignores a stop that arrives before its playback has begun, so it is repeated
    // until the body is over; the playback reads it once per frame.
    while (!done_.load()) {
        OmbrixStop();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    thread_.join();
}

void SourcePlayback::run() {
    // A nice value per thread stands for the player's thread priority; raising it needs
    // privileges and is refused quietly.
    if (options_.nice != 0)
        setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), options_.nice);
    XMClearVisualization();
    OmbrixSetBufferSize(options_.bufferFrames);
    OmbrixSelectWaveOut(options_.device);
    OmbrixPcmSource source{};
    source.context = this;
    source.channels = source_.channels();
    source.sampleRate = source_.sampleRate();
    source.totalFrames = source_.totalFrames();
    source.read = &readFrames;
    source.seek = &seekFrame;
    int32_t result = 1;
    if (!stopRequested_.load())
        result = OmbrixPlayPcm(&source, startMs_, options_.noOutput ? 1 : 0);
    result_.store(result);
    done_.store(true);
}

}  // namespace ombrix
