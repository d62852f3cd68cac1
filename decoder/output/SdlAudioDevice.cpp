// The real sound device. SDL2's queueing interface stands in for a wave-out device: blocks are
// queued as they come and a block counts as played once the queue has drained past its end; at
// the end of a song the device's own buffer is waited for as well.
// SDL has no pitch control, so a pitch other than normal is applied by resampling each block.
//
// SDL2 is loaded when a device is first opened rather than linked: decoding without a sound
// device (ombrix-decode, the tests) then never maps SDL and the dozens of libraries it pulls in.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <deque>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

#include "output/AudioDevice.h"
#include "output/PitchResampler.h"
#include "output/SharedLibrary.h"

namespace ombrix::mp3 {

namespace {

// The SDL functions the device uses, resolved once; all null when SDL2 cannot be loaded.
struct SdlApi {
    decltype(&::SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&::SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&::SDL_GetAudioDeviceName) GetAudioDeviceName = nullptr;
    decltype(&::SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
    decltype(&::SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
    decltype(&::SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
    decltype(&::SDL_QueueAudio) QueueAudio = nullptr;
    decltype(&::SDL_GetQueuedAudioSize) GetQueuedAudioSize = nullptr;
    decltype(&::SDL_ClearQueuedAudio) ClearQueuedAudio = nullptr;
    decltype(&::SDL_SetHint) SetHint = nullptr;

    bool loaded() const noexcept { return ClearQueuedAudio != nullptr; }

    static const SdlApi& get() {
        static const SdlApi api = load();
        return api;
    }

private:
    static SdlApi load() {
        SdlApi api;
        SharedLibrary lib("libSDL2-2.0.so.0");
        if (!lib.opened()) return api;
        auto bind = [&](auto& fn, const char* name) { lib.bind(fn, name); };
        bind(api.InitSubSystem, "SDL_InitSubSystem");
        bind(api.QuitSubSystem, "SDL_QuitSubSystem");
        bind(api.GetAudioDeviceName, "SDL_GetAudioDeviceName");
        bind(api.OpenAudioDevice, "SDL_OpenAudioDevice");
        bind(api.CloseAudioDevice, "SDL_CloseAudioDevice");
        bind(api.PauseAudioDevice, "SDL_PauseAudioDevice");
        bind(api.QueueAudio, "SDL_QueueAudio");
        bind(api.GetQueuedAudioSize, "SDL_GetQueuedAudioSize");
        bind(api.ClearQueuedAudio, "SDL_ClearQueuedAudio");
        bind(api.SetHint, "SDL_SetHint");
        if (!lib.complete()) return SdlApi{};
        // SDL would otherwise take SIGINT and SIGTERM for its own event queue, which nobody
        // reads here: the program could then no longer be ended by a signal.
        api.SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        return api;
    }
};

class SdlAudioDevice final : public AudioDevice {
public:
    SdlAudioDevice(int32_t deviceIndex, int32_t latencyMs)
        : sdl_(SdlApi::get()), deviceIndex_(deviceIndex), latencyMs_(latencyMs) {}
    ~SdlAudioDevice() override { close(); }

    bool open(const PcmFormat& format) override {
        std::lock_guard lock(mutex_);
        if (!sdl_.loaded() || sdl_.InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        subsystemUp_ = true;
        const char* name = nullptr;
        if (deviceIndex_ >= 0) {
            name = sdl_.GetAudioDeviceName(deviceIndex_, 0);
            if (!name) return closeLocked();
        }
        SDL_AudioSpec want{};
        want.freq = format.rate;
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(format.channels);
        // SDL's piece is what a pause still plays after it (SDL then feeds silence), so it is
        // a quarter of the latency target, as a power of two.
        int piece = 256;
        while (piece * 2 <= format.rate * latencyMs_ / 4000 && piece < 16384) piece *= 2;
        want.samples = static_cast<Uint16>(piece);
        SDL_AudioSpec have{};
        device_ = sdl_.OpenAudioDevice(name, 0, &want, &have, 0);
        if (device_ == 0) return closeLocked();
        format_ = format;
        hardwareFrames_ = have.samples;
        blockFrames_ = std::max(format.rate * latencyMs_ / 6000, 256);
        // The device starts once it has something to play (see startWhenFilled).
        started_ = false;
        held_ = false;
        return true;
    }

    void write(uint64_t blockId, const int16_t* samples, size_t count) override {
        if (device_ == 0) return;
        const uint32_t pitch = pitch_.load(std::memory_order_relaxed);
        const int16_t* data = samples;
        size_t n = count;
        if (pitch != 0x10000) {
            try {
                resampler_.run(samples, count, format_.channels, pitch, resampled_);
            } catch (...) {
                return;  // no memory for the resampled block: it is skipped, not played wrong
            }
            data = resampled_.data();
            n = resampled_.size();
        }
        const size_t bytes = n * sizeof(int16_t);
        sdl_.QueueAudio(device_, data, static_cast<Uint32>(bytes));
        queuedTotal_ += bytes;
        try {
            pending_.push_back({blockId, queuedTotal_});
        } catch (...) {
        }
        if (!started_) startWhenFilled(false);
    }

    bool stillPlaying(uint64_t blockId) override {
        if (device_ == 0) return false;
        // Asked for a block back: nothing more comes until one is played.
        if (!started_) startWhenFilled(true);
        const uint64_t played = queuedTotal_ - sdl_.GetQueuedAudioSize(device_);
        while (!pending_.empty() && pending_.front().end <= played) pending_.pop_front();
        for (const Pending& p : pending_) {
            if (p.id == blockId) return true;
        }
        return false;
    }

    void drain(const std::atomic<bool>* abandon) override {
        if (device_ == 0) return;
        if (!started_) startWhenFilled(true);  // a song shorter than the first fill
        auto abandoned = [&] { return abandon && abandon->load(std::memory_order_relaxed); };
        // SDL's queue empties into the device's buffer of hardwareFrames_ frames; that last
        // buffer is heard only after the queue reads empty.
        while (sdl_.GetQueuedAudioSize(device_) > 0 && !abandoned()) sleepMs(10);
        const int bufferMs = static_cast<int>(1000LL * hardwareFrames_ / std::max(format_.rate, 1));
        for (int waited = 0; waited < bufferMs + 10 && !abandoned(); waited += 10) sleepMs(10);
    }

    int maxBlockFrames() const noexcept override { return blockFrames_; }

    int64_t unheardFrames() noexcept override {
        std::lock_guard lock(mutex_);
        if (device_ == 0) return 0;
        // The queue, plus about half of the piece SDL is playing on average.
        return sdl_.GetQueuedAudioSize(device_) / static_cast<uint32_t>(format_.blockAlign()) +
               hardwareFrames_ / 2;
    }

    void reset() override {
        if (device_ != 0) sdl_.ClearQueuedAudio(device_);
        pending_.clear();
        queuedTotal_ = 0;
    }

    int32_t pause() override { return setPaused(1); }
    int32_t restart() override { return setPaused(0); }

    void setPitch(uint32_t pitch) override {
        pitch_.store(std::clamp(pitch, kMinPitch, kMaxPitch), std::memory_order_relaxed);
    }

    void close() override {
        std::lock_guard lock(mutex_);
        closeLocked();
    }

private:
    struct Pending {
        uint64_t id;
        uint64_t end;  // queuedTotal_ once the block was queued
    };

    static void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    int32_t setPaused(int on) {
        // The lock keeps a pause from another thread off a device that is closing or opening.
        std::lock_guard lock(mutex_);
        if (device_ == 0) return kNotOpen;
        held_ = on != 0;
        if (started_) sdl_.PauseAudioDevice(device_, on);
        return 0;
    }

    // SDL plays silence for whatever its queue lacks when it takes a piece. Started at once
    // on an empty queue, it would take the first block and then, on a busy machine, find the
    // second not yet there: a gap inside the song's first moments. So it waits until a piece
    // and a block are queued (or at once, @p now, when the song has ended or the output waits
    // for a block to come back).
    void startWhenFilled(bool now) {
        const uint64_t wanted =
            uint64_t(hardwareFrames_ + blockFrames_) * uint32_t(format_.blockAlign());
        if (!now && sdl_.GetQueuedAudioSize(device_) < wanted) return;
        std::lock_guard lock(mutex_);
        started_ = true;
        if (!held_) sdl_.PauseAudioDevice(device_, 0);
    }

    bool closeLocked() noexcept {
        if (device_ != 0) {
            sdl_.CloseAudioDevice(device_);
            device_ = 0;
        }
        if (subsystemUp_) {
            sdl_.QuitSubSystem(SDL_INIT_AUDIO);
            subsystemUp_ = false;
        }
        pending_.clear();
        return false;
    }

    const SdlApi& sdl_;
    int32_t deviceIndex_;
    int32_t latencyMs_;
    // Guards device_ and subsystemUp_ against pause/restart from other threads; the playback
    // thread, the only one that changes them, reads them without it.
    std::mutex mutex_;
    SDL_AudioDeviceID device_ = 0;
    bool subsystemUp_ = false;
    bool started_ = false;  // the device has been let play (written by the playback thread)
    bool held_ = false;     // paused by the caller
    PcmFormat format_;
    int hardwareFrames_ = 0;
    int blockFrames_ = 0;
    std::atomic<uint32_t> pitch_{0x10000};
    uint64_t queuedTotal_ = 0;
    std::deque<Pending> pending_;
    std::vector<int16_t> resampled_;
    PitchResampler resampler_;
};

}  // namespace

std::unique_ptr<AudioDevice> createSdlAudioDevice(int32_t deviceIndex, int32_t latencyMs) {
    return std::make_unique<SdlAudioDevice>(deviceIndex,
                                            std::clamp(latencyMs, kMinLatencyMs, kMaxLatencyMs));
}

}  // namespace ombrix::mp3
