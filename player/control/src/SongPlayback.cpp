#include "ombrix/control/SongPlayback.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

#include "mixora.h"
#include "mp3.h"

namespace ombrix {
namespace {

uint32_t tickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

SongPlayback::SongPlayback(std::atomic<bool>* finishedFlag) : finishedFlag_(finishedFlag) {}

SongPlayback::~SongPlayback() {
    stop();
}

int SongPlayback::niceFor(int priority) noexcept {
    switch (priority) {
        case kLowest:
            return 10;
        case kLower:
            return 5;
        case kHigher:
            return -5;
        case kHighest:
            return -10;
        default:
            return 0;
    }
}

void SongPlayback::start() {
    if (thread_.joinable()) return;
    thread_ = std::thread([this] { run(); });
}

void SongPlayback::stop() {
    if (!thread_.joinable()) return;
    stopRequested_.store(true);
    // The library ignores a stop that arrives before its playback has begun, so the request is
    // repeated until the body is over. OmbrixPlay polls it once per frame, so the wait is short;
    // the error sink only posts, so it cannot wait for this thread either.
    while (!done_.load()) {
        OmbrixStop();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    thread_.join();
}

void SongPlayback::run() {
    // Linux threads have no priorities of their own under the normal scheduler; a nice value
    // per thread stands for them. Raising it needs privileges: refused quietly, like a
    // priority the platform does not offer.
    const int nice = niceFor(priority);
    if (nice != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), nice);

    busy_.store(true);
    XMClearVisualization();
    OmbrixEnableMMX(useMMX ? 1 : 0);
    OmbrixEnableK63D(useK63D ? 1 : 0);
    OmbrixSetVolume(volume);
    OmbrixSetBufferSize(bufferFrames);
    OmbrixSelectWaveOut(waveOutId);
    const uint32_t started = tickCount();
    int32_t result = 1;
    if (!stopRequested_.load()) {
        const QByteArray name = fileName.toLocal8Bit();
        result = OmbrixPlay(name.constData(), startOffset, noOutput ? 1 : 0);
    }
    result_.store(result);
    if (result <= 0 && errorSink) errorSink(result);
    playTicks_.store(tickCount() - started);
    busy_.store(false);
    if (!stopRequested_.load() && finishedFlag_) finishedFlag_->store(true);
    done_.store(true);
}

}  // namespace ombrix
