// The sound server's own stream (PulseAudio, or PipeWire's PulseAudio service). The stream
// holds most of the latency target, so the server is fed in large pieces and wakes rarely; a
// pause corks the stream and a stop or seek flushes it, both at once whatever is buffered; and
// the server's timing data tells how much written audio has not been heard yet.
//
// libpulse is loaded when a device is first made rather than linked, as SDL2 is: decoding
// without a sound device never maps it.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <deque>
#include <mutex>
#include <type_traits>
#include <vector>

#include "output/AudioDevice.h"
#include "output/PitchResampler.h"
#include "output/SharedLibrary.h"

namespace ombrix::mp3 {

namespace {

struct PulseApi {
    decltype(&::pa_threaded_mainloop_new) mainloopNew = nullptr;
    decltype(&::pa_threaded_mainloop_free) mainloopFree = nullptr;
    decltype(&::pa_threaded_mainloop_start) mainloopStart = nullptr;
    decltype(&::pa_threaded_mainloop_stop) mainloopStop = nullptr;
    decltype(&::pa_threaded_mainloop_lock) lock = nullptr;
    decltype(&::pa_threaded_mainloop_unlock) unlock = nullptr;
    decltype(&::pa_threaded_mainloop_wait) wait = nullptr;
    decltype(&::pa_threaded_mainloop_signal) signal = nullptr;
    decltype(&::pa_threaded_mainloop_get_api) getApi = nullptr;
    decltype(&::pa_context_new) contextNew = nullptr;
    decltype(&::pa_context_connect) contextConnect = nullptr;
    decltype(&::pa_context_disconnect) contextDisconnect = nullptr;
    decltype(&::pa_context_unref) contextUnref = nullptr;
    decltype(&::pa_context_get_state) contextState = nullptr;
    decltype(&::pa_context_set_state_callback) contextStateCallback = nullptr;
    decltype(&::pa_stream_new) streamNew = nullptr;
    decltype(&::pa_stream_connect_playback) connectPlayback = nullptr;
    decltype(&::pa_stream_disconnect) streamDisconnect = nullptr;
    decltype(&::pa_stream_unref) streamUnref = nullptr;
    decltype(&::pa_stream_get_state) streamState = nullptr;
    decltype(&::pa_stream_set_state_callback) streamStateCallback = nullptr;
    decltype(&::pa_stream_set_write_callback) writeCallback = nullptr;
    decltype(&::pa_stream_writable_size) writableSize = nullptr;
    decltype(&::pa_stream_write) write = nullptr;
    decltype(&::pa_stream_cork) cork = nullptr;
    decltype(&::pa_stream_flush) flush = nullptr;
    decltype(&::pa_stream_drain) drain = nullptr;
    decltype(&::pa_stream_trigger) trigger = nullptr;
    decltype(&::pa_stream_get_latency) latency = nullptr;
    decltype(&::pa_stream_update_timing_info) updateTimingInfo = nullptr;
    decltype(&::pa_stream_get_timing_info) timingInfo = nullptr;
    decltype(&::pa_operation_unref) operationUnref = nullptr;
    decltype(&::pa_operation_get_state) operationState = nullptr;
    decltype(&::pa_stream_get_index) streamIndex = nullptr;
    decltype(&::pa_context_set_sink_input_volume) setSinkInputVolume = nullptr;
    decltype(&::pa_sw_volume_from_linear) volumeFromLinear = nullptr;

    bool loaded() const noexcept { return operationState != nullptr; }

    static const PulseApi& get() {
        static const PulseApi api = load();
        return api;
    }

private:
    static PulseApi load() {
        PulseApi api;
        SharedLibrary lib("libpulse.so.0");
        if (!lib.opened()) return api;
        auto bind = [&](auto& fn, const char* name) { lib.bind(fn, name); };
        bind(api.mainloopNew, "pa_threaded_mainloop_new");
        bind(api.mainloopFree, "pa_threaded_mainloop_free");
        bind(api.mainloopStart, "pa_threaded_mainloop_start");
        bind(api.mainloopStop, "pa_threaded_mainloop_stop");
        bind(api.lock, "pa_threaded_mainloop_lock");
        bind(api.unlock, "pa_threaded_mainloop_unlock");
        bind(api.wait, "pa_threaded_mainloop_wait");
        bind(api.signal, "pa_threaded_mainloop_signal");
        bind(api.getApi, "pa_threaded_mainloop_get_api");
        bind(api.contextNew, "pa_context_new");
        bind(api.contextConnect, "pa_context_connect");
        bind(api.contextDisconnect, "pa_context_disconnect");
        bind(api.contextUnref, "pa_context_unref");
        bind(api.contextState, "pa_context_get_state");
        bind(api.contextStateCallback, "pa_context_set_state_callback");
        bind(api.streamNew, "pa_stream_new");
        bind(api.connectPlayback, "pa_stream_connect_playback");
        bind(api.streamDisconnect, "pa_stream_disconnect");
        bind(api.streamUnref, "pa_stream_unref");
        bind(api.streamState, "pa_stream_get_state");
        bind(api.streamStateCallback, "pa_stream_set_state_callback");
        bind(api.writeCallback, "pa_stream_set_write_callback");
        bind(api.writableSize, "pa_stream_writable_size");
        bind(api.write, "pa_stream_write");
        bind(api.cork, "pa_stream_cork");
        bind(api.flush, "pa_stream_flush");
        bind(api.drain, "pa_stream_drain");
        bind(api.trigger, "pa_stream_trigger");
        bind(api.latency, "pa_stream_get_latency");
        bind(api.updateTimingInfo, "pa_stream_update_timing_info");
        bind(api.timingInfo, "pa_stream_get_timing_info");
        bind(api.operationUnref, "pa_operation_unref");
        bind(api.operationState, "pa_operation_get_state");
        bind(api.streamIndex, "pa_stream_get_index");
        bind(api.setSinkInputVolume, "pa_context_set_sink_input_volume");
        bind(api.volumeFromLinear, "pa_sw_volume_from_linear");
        return lib.complete() ? api : PulseApi{};
    }
};

class PulseAudioDevice final : public AudioDevice {
public:
    explicit PulseAudioDevice(int32_t latencyMs) : pa_(PulseApi::get()), latencyMs_(latencyMs) {}
    ~PulseAudioDevice() override { close(); }

    bool open(const PcmFormat& format) override {
        std::lock_guard guard(stateMutex_);
        if (!pa_.loaded()) return false;
        format_ = format;
        const int64_t target = int64_t{format.rate} * latencyMs_ / 1000;
        // A sixth of the target per block; the stream holds what the block being decoded and
        // the two blocks handed over leave of the target (half of it).
        blockFrames_ = static_cast<int>(std::max<int64_t>(target / 6, 256));
        const int64_t streamFrames = std::max<int64_t>(target - 3 * blockFrames_, blockFrames_);

        loop_ = pa_.mainloopNew();
        if (!loop_) return false;
        if (pa_.mainloopStart(loop_) < 0) return failLocked();
        Lock lock(pa_, loop_);
        context_ = pa_.contextNew(pa_.getApi(loop_), "Ombrix Player");
        if (!context_) return failLocked(lock);
        pa_.contextStateCallback(context_, &PulseAudioDevice::onContextState, this);
        if (pa_.contextConnect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return failLocked(lock);
        for (;;) {
            const pa_context_state_t s = pa_.contextState(context_);
            if (s == PA_CONTEXT_READY) break;
            if (!PA_CONTEXT_IS_GOOD(s)) return failLocked(lock);
            pa_.wait(loop_);
        }
        pa_sample_spec spec{};
        spec.format = PA_SAMPLE_S16NE;
        spec.rate = static_cast<uint32_t>(format.rate);
        spec.channels = static_cast<uint8_t>(format.channels);
        stream_ = pa_.streamNew(context_, "Music", &spec, nullptr);
        if (!stream_) return failLocked(lock);
        pa_.streamStateCallback(stream_, &PulseAudioDevice::onStreamState, this);
        pa_.writeCallback(stream_, &PulseAudioDevice::onWritable, this);
        const auto bytes = [&](int64_t frames) {
            return static_cast<uint32_t>(frames * format.blockAlign());
        };
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = bytes(streamFrames);
        // Playback starts once a block is in. Without "adjust latency" the server runs its sink
        // at the stream's length less two requests: a long period, so it wakes rarely (a
        // seventh of the target per request gives about 107 ms at the default 500 ms). Changes
        // of the effects are not held up by it: they rewrite the queue (dropUnplayed).
        attr.prebuf = bytes(std::min<int64_t>(blockFrames_, streamFrames));
        attr.minreq = bytes(std::max<int64_t>(target / 7, 64));
        attr.fragsize = static_cast<uint32_t>(-1);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING |
                                                          PA_STREAM_AUTO_TIMING_UPDATE);
        levelChanged_.store(false);
        const pa_cvolume volume = cvolume();
        if (pa_.connectPlayback(stream_, nullptr, &attr, flags, &volume, nullptr) < 0)
            return failLocked(lock);
        for (;;) {
            const pa_stream_state_t s = pa_.streamState(stream_);
            if (s == PA_STREAM_READY) break;
            if (!PA_STREAM_IS_GOOD(s)) return failLocked(lock);
            pa_.wait(loop_);
        }
        open_.store(true);
        return true;
    }

    void write(uint64_t blockId, const int16_t* samples, size_t count) override {
        if (!open_.load()) return;
        try {
            Pending p;
            p.id = blockId;
            const uint32_t pitch = pitch_.load(std::memory_order_relaxed);
            if (pitch != 0x10000) {
                resampler_.run(samples, count, format_.channels, pitch, p.samples);
            } else {
                p.samples.assign(samples, samples + count);
            }
            Lock lock(pa_, loop_);
            pendingFrames_ += static_cast<int64_t>(p.samples.size()) / format_.channels;
            pending_.push_back(std::move(p));
            applyLevelLocked();
            pumpLocked();
        } catch (...) {
            // No memory for the block: it is skipped rather than played wrong.
        }
    }

    bool stillPlaying(uint64_t blockId) override {
        if (!open_.load()) return false;
        Lock lock(pa_, loop_);
        pumpLocked();
        return pendingLocked(blockId);
    }

    void waitUntilPlayed(uint64_t blockId, const std::atomic<bool>* abandon, int) override {
        if (!open_.load()) return;
        Lock lock(pa_, loop_);
        // The server's write requests (a block at a time) and wake() signal the loop; nothing
        // here polls.
        while (true) {
            pumpLocked();
            if (!pendingLocked(blockId) || woken_ || failed_) break;
            if (abandon && abandon->load(std::memory_order_relaxed)) break;
            pa_.wait(loop_);
        }
        woken_ = false;
    }

    void wake() noexcept override {
        std::lock_guard guard(stateMutex_);
        if (!open_.load()) return;
        Lock lock(pa_, loop_);
        woken_ = true;
        pa_.signal(loop_, 0);
    }

    int maxBlockFrames() const noexcept override { return blockFrames_; }

    int64_t unheardFrames() noexcept override {
        std::lock_guard guard(stateMutex_);
        if (!open_.load()) return 0;
        Lock lock(pa_, loop_);
        pa_usec_t usec = 0;
        int negative = 0;
        int64_t inServer = 0;
        if (pa_.latency(stream_, &usec, &negative) == 0 && !negative)
            inServer = static_cast<int64_t>(usec) * format_.rate / 1000000;
        return pendingFrames_ + inServer;
    }

    void drain(const std::atomic<bool>* abandon) override {
        if (!open_.load()) return;
        auto abandoned = [&] { return abandon && abandon->load(std::memory_order_relaxed); };
        Lock lock(pa_, loop_);
        while (!pending_.empty() && !abandoned() && !failed_) {
            pumpLocked();
            if (pending_.empty()) break;
            pa_.wait(loop_);
        }
        if (abandoned() || failed_) return;
        // Start playing what sits below the start threshold, then wait until the server
        // reports everything heard.
        if (pa_operation* t = pa_.trigger(stream_, nullptr, nullptr)) pa_.operationUnref(t);
        pa_operation* op = pa_.drain(stream_, &PulseAudioDevice::onDone, this);
        if (!op) return;
        while (pa_.operationState(op) == PA_OPERATION_RUNNING && !abandoned() && !woken_ &&
               !failed_)
            pa_.wait(loop_);
        woken_ = false;
        pa_.operationUnref(op);
    }

    int64_t dropUnplayed(int64_t marginFrames) override {
        // No state lock: open and close run on this same (playback) thread, and the wait below
        // must not hold up a pause or a stop from another thread.
        // Audio that went through the resampler no longer maps onto the song's samples.
        if (!open_.load() || pitch_.load(std::memory_order_relaxed) != 0x10000) return -1;
        Lock lock(pa_, loop_);
        if (failed_ || !pa_.updateTimingInfo || !pa_.timingInfo) return -1;
        // The read index must be fresh: it moves on while the sink takes audio. A stop or seek
        // (wake) ends the wait for a server that does not answer; the queue is then left alone.
        pa_operation* op = pa_.updateTimingInfo(stream_, &PulseAudioDevice::onDone, this);
        if (!op) return -1;
        while (pa_.operationState(op) == PA_OPERATION_RUNNING && !failed_ && !woken_)
            pa_.wait(loop_);
        const bool answered = pa_.operationState(op) == PA_OPERATION_DONE;
        pa_.operationUnref(op);
        if (!answered) return -1;
        const pa_timing_info* t = pa_.timingInfo(stream_);
        if (failed_ || !t || t->write_index_corrupt || t->read_index_corrupt) return -1;
        const int64_t align = format_.blockAlign();
        // What the sink has not taken yet, less the margin that stays, is overwritten: the
        // next write goes that far back on the server's queue.
        const int64_t inServer = std::max<int64_t>(0, (t->write_index - t->read_index) / align);
        const int64_t drop = std::max<int64_t>(0, inServer - std::max<int64_t>(marginFrames, 0));
        rewriteBytes_ += drop * align;
        const int64_t dropped = drop + pendingFrames_;
        pending_.clear();
        pendingFrames_ = 0;
        return dropped;
    }

    void reset() override {
        if (!open_.load()) return;
        Lock lock(pa_, loop_);
        pending_.clear();
        pendingFrames_ = 0;
        rewriteBytes_ = 0;
        if (pa_operation* op = pa_.flush(stream_, nullptr, nullptr)) pa_.operationUnref(op);
    }

    int32_t pause() override { return setCorked(1); }
    int32_t restart() override { return setCorked(0); }

    void setPitch(uint32_t pitch) override {
        pitch_.store(std::clamp(pitch, kMinPitch, kMaxPitch), std::memory_order_relaxed);
    }

    void close() override {
        std::lock_guard guard(stateMutex_);
        if (!loop_) return;
        open_.store(false);
        {
            Lock lock(pa_, loop_);
            releaseStreamLocked();
        }
        pa_.mainloopStop(loop_);
        pa_.mainloopFree(loop_);
        loop_ = nullptr;
    }

private:
    struct Pending {
        uint64_t id = 0;
        std::vector<int16_t> samples;
        size_t written = 0;  // samples already in the server
    };

    // Holds the mainloop's lock for a scope.
    class Lock {
    public:
        Lock(const PulseApi& pa, pa_threaded_mainloop* loop) : pa_(pa), loop_(loop) {
            pa_.lock(loop_);
        }
        ~Lock() { pa_.unlock(loop_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        const PulseApi& pa_;
        pa_threaded_mainloop* loop_;
    };

    static void onContextState(pa_context*, void* self) {
        auto* d = static_cast<PulseAudioDevice*>(self);
        d->pa_.signal(d->loop_, 0);
    }
    static void onStreamState(pa_stream* s, void* self) {
        auto* d = static_cast<PulseAudioDevice*>(self);
        if (!PA_STREAM_IS_GOOD(d->pa_.streamState(s))) d->failed_ = true;
        d->pa_.signal(d->loop_, 0);
    }
    static void onWritable(pa_stream*, size_t, void* self) {
        auto* d = static_cast<PulseAudioDevice*>(self);
        // Served here, on the mainloop's own thread: the data goes out in the same turn of the
        // loop, instead of the waiting playback thread writing it and waking the loop again.
        d->pumpLocked();
        d->pa_.signal(d->loop_, 0);
    }
    static void onDone(pa_stream*, int, void* self) {
        auto* d = static_cast<PulseAudioDevice*>(self);
        d->pa_.signal(d->loop_, 0);
    }

    // Hands the server as much of the pending audio as it asks for. Mainloop lock held.
    void pumpLocked() noexcept {
        if (failed_ || !stream_) return;
        size_t room = pa_.writableSize(stream_);
        if (room == static_cast<size_t>(-1)) return;
        const size_t align = static_cast<size_t>(format_.blockAlign());
        // A rewrite frees what it goes back over; the server asks for it only once it has seen
        // the write that goes back.
        room = std::max(room, static_cast<size_t>(rewriteBytes_));
        while (!pending_.empty() && room >= align) {
            Pending& p = pending_.front();
            const size_t leftBytes = (p.samples.size() - p.written) * sizeof(int16_t);
            const size_t n = std::min(leftBytes, room / align * align);
            if (pa_.write(stream_, p.samples.data() + p.written, n, nullptr, -rewriteBytes_,
                          PA_SEEK_RELATIVE) < 0)
                return;
            rewriteBytes_ = 0;
            p.written += n / sizeof(int16_t);
            pendingFrames_ -= static_cast<int64_t>(n / align);
            room -= n;
            if (p.written >= p.samples.size()) pending_.pop_front();
        }
    }

    bool ownsLevel() const noexcept override { return true; }

    void setLevel(uint32_t left, uint32_t right) noexcept override {
        levelLeft_.store(left, std::memory_order_relaxed);
        levelRight_.store(right, std::memory_order_relaxed);
        levelChanged_.store(true);
        // The state lock keeps the change off a stream that opens or closes. When another
        // thread holds it, the next block written carries the change: a volume change never
        // waits for a stream to drain.
        std::unique_lock guard(stateMutex_, std::try_to_lock);
        if (!guard.owns_lock() || !open_.load()) return;
        Lock lock(pa_, loop_);
        applyLevelLocked();
    }

    void applyLevelLocked() noexcept {
        if (!levelChanged_.exchange(false) || !stream_) return;
        const pa_cvolume volume = cvolume();
        if (pa_operation* op = pa_.setSinkInputVolume(context_, pa_.streamIndex(stream_), &volume,
                                                      nullptr, nullptr))
            pa_.operationUnref(op);
    }

    // The server's volumes are on its own (cubic) scale: the linear levels are converted.
    pa_cvolume cvolume() const noexcept {
        pa_cvolume v{};
        v.channels = static_cast<uint8_t>(format_.channels);
        const auto linear = [](uint32_t level) {
            return static_cast<double>(level) / static_cast<double>(StreamLevel::kUnity);
        };
        const uint32_t left = levelLeft_.load(std::memory_order_relaxed);
        const uint32_t right = levelRight_.load(std::memory_order_relaxed);
        if (v.channels == 1) {
            v.values[0] = pa_.volumeFromLinear(linear(std::max(left, right)));
        } else {
            v.values[0] = pa_.volumeFromLinear(linear(left));
            v.values[1] = pa_.volumeFromLinear(linear(right));
        }
        return v;
    }

    bool pendingLocked(uint64_t blockId) const noexcept {
        for (const Pending& p : pending_)
            if (p.id == blockId) return true;
        return false;
    }

    int32_t setCorked(int on) {
        // The state lock keeps a pause from another thread off a stream that opens or closes.
        std::lock_guard guard(stateMutex_);
        if (!open_.load()) return kNotOpen;
        Lock lock(pa_, loop_);
        if (pa_operation* op = pa_.cork(stream_, on, nullptr, nullptr)) pa_.operationUnref(op);
        return 0;
    }

    void releaseStreamLocked() noexcept {
        if (stream_) {
            pa_.streamDisconnect(stream_);
            pa_.streamUnref(stream_);
            stream_ = nullptr;
        }
        if (context_) {
            pa_.contextDisconnect(context_);
            pa_.contextUnref(context_);
            context_ = nullptr;
        }
        pending_.clear();
        pendingFrames_ = 0;
        rewriteBytes_ = 0;
    }

    bool failLocked(Lock&) noexcept {
        releaseStreamLocked();
        return false;
    }
    bool failLocked() noexcept {
        // The loop is not running yet (or failed to start): free it here.
        pa_.mainloopFree(loop_);
        loop_ = nullptr;
        return false;
    }

    const PulseApi& pa_;
    int32_t latencyMs_;
    std::mutex stateMutex_;  // open/close against pause/restart from other threads
    std::atomic<bool> open_{false};
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    PcmFormat format_;
    int blockFrames_ = 0;
    std::atomic<uint32_t> pitch_{0x10000};
    std::atomic<uint32_t> levelLeft_{StreamLevel::kUnity};
    std::atomic<uint32_t> levelRight_{StreamLevel::kUnity};
    std::atomic<bool> levelChanged_{false};
    PitchResampler resampler_;
    // Guarded by the mainloop lock:
    std::deque<Pending> pending_;
    int64_t pendingFrames_ = 0;
    int64_t rewriteBytes_ = 0;  // how far back the next write goes on the server's queue
    bool woken_ = false;
    bool failed_ = false;
};

}  // namespace

std::unique_ptr<AudioDevice> createPulseAudioDevice(int32_t latencyMs) {
    if (!PulseApi::get().loaded()) return nullptr;
    return std::make_unique<PulseAudioDevice>(std::clamp(latencyMs, kMinLatencyMs, kMaxLatencyMs));
}

}  // namespace ombrix::mp3
