// The choice of sound device: the sound server's own stream where one answers, SDL2 otherwise.
#include <cstdlib>
#include <cstring>

#include "output/AudioDevice.h"

namespace ombrix::mp3 {

namespace {

// Opens the sound server's stream when it can, else SDL's device, and forwards to the one it
// opened. Which one answers is only known at open.
class PreferredAudioDevice final : public AudioDevice {
public:
    PreferredAudioDevice(std::unique_ptr<AudioDevice> first, std::unique_ptr<AudioDevice> second)
        : first_(std::move(first)), second_(std::move(second)) {}

    bool open(const PcmFormat& format) override {
        AudioDevice* chosen = nullptr;
        if (first_ && first_->open(format)) {
            chosen = first_.get();
        } else if (second_->open(format)) {
            chosen = second_.get();
        }
        active_.store(chosen);
        return chosen != nullptr;
    }
    void write(uint64_t id, const int16_t* s, size_t n) override {
        if (AudioDevice* d = active_.load()) d->write(id, s, n);
    }
    bool ownsLevel() const noexcept override {
        const AudioDevice* d = active_.load();
        return d && d->ownsLevel();
    }
    void setLevel(uint32_t left, uint32_t right) noexcept override {
        // Both keep it: the one that opens starts at it.
        if (first_) first_->setLevel(left, right);
        second_->setLevel(left, right);
    }
    bool stillPlaying(uint64_t id) override {
        AudioDevice* d = active_.load();
        return d && d->stillPlaying(id);
    }
    void waitUntilPlayed(uint64_t id, const std::atomic<bool>* abandon, int pollMs) override {
        if (AudioDevice* d = active_.load()) d->waitUntilPlayed(id, abandon, pollMs);
    }
    void wake() noexcept override {
        if (AudioDevice* d = active_.load()) d->wake();
    }
    int maxBlockFrames() const noexcept override {
        AudioDevice* d = active_.load();
        return d ? d->maxBlockFrames() : 0;
    }
    int64_t unheardFrames() noexcept override {
        AudioDevice* d = active_.load();
        return d ? d->unheardFrames() : 0;
    }
    void drain(const std::atomic<bool>* abandon) override {
        if (AudioDevice* d = active_.load()) d->drain(abandon);
    }
    int64_t dropUnplayed(int64_t marginFrames) override {
        AudioDevice* d = active_.load();
        return d ? d->dropUnplayed(marginFrames) : -1;
    }
    void reset() override {
        if (AudioDevice* d = active_.load()) d->reset();
    }
    int32_t pause() override {
        AudioDevice* d = active_.load();
        return d ? d->pause() : kNotOpen;
    }
    int32_t restart() override {
        AudioDevice* d = active_.load();
        return d ? d->restart() : kNotOpen;
    }
    void setPitch(uint32_t pitch) override {
        if (first_) first_->setPitch(pitch);
        second_->setPitch(pitch);
    }
    void close() override {
        // Both stay alive until this object goes, so a late call from another thread still
        // meets a valid (closed) device.
        if (AudioDevice* d = active_.load()) d->close();
    }

private:
    std::unique_ptr<AudioDevice> first_;
    std::unique_ptr<AudioDevice> second_;
    std::atomic<AudioDevice*> active_{nullptr};
};

}  // namespace

std::unique_ptr<AudioDevice> createSoundDevice(int32_t deviceIndex, int32_t latencyMs) {
    // A chosen SDL driver (the tests' dummy and disk drivers, or a user's choice) and numbered
    // devices go through SDL; the server's stream serves the default device.
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const bool sdlChosen = driver && *driver && std::strcmp(driver, "pulseaudio") != 0 &&
                           std::strcmp(driver, "pulse") != 0 &&
                           std::strcmp(driver, "pipewire") != 0;
    auto sdl = createSdlAudioDevice(deviceIndex, latencyMs);
    if (deviceIndex >= 0 || sdlChosen) return sdl;
    auto pulse = createPulseAudioDevice(latencyMs);
    if (!pulse) return sdl;
    return std::make_unique<PreferredAudioDevice>(std::move(pulse), std::move(sdl));
}

}  // namespace ombrix::mp3
