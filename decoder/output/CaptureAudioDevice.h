#pragma once

#include <functional>

#include "output/AudioDevice.h"

namespace ombrix::mp3 {

/// A device that hands every block to a sink and completes it at once: decoding to files and
/// tests run the real playback loop through it.
/// Thread affinity: the playback thread (the sink is called there).
class CaptureAudioDevice final : public AudioDevice {
public:
    using Sink = std::function<void(const PcmFormat& format, const int16_t* samples, size_t count)>;

    explicit CaptureAudioDevice(Sink sink) : sink_(std::move(sink)) {}

    bool open(const PcmFormat& format) override {
        format_ = format;
        return true;
    }
    void write(uint64_t, const int16_t* samples, size_t count) override {
        if (sink_) sink_(format_, samples, count);
    }
    bool stillPlaying(uint64_t) override { return false; }
    void drain(const std::atomic<bool>*) override {}
    void reset() override {}
    int32_t pause() override { return 0; }
    int32_t restart() override { return 0; }
    void setPitch(uint32_t) override {}
    void close() override {}

private:
    Sink sink_;
    PcmFormat format_;
};

}  // namespace ombrix::mp3
