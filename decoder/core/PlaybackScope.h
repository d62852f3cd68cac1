#pragma once

#include <cstdint>

#include "core/DecoderSettings.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"

// Scopes shared by the playbacks of MPEG files and of PCM sources: each sets a piece of the
// library's state for as long as one playback runs and puts it back at its end, however it ends.
namespace ombrix::mp3 {

// Keeps the pause/resume path of the control pointed at the open device for as long as it is.
class DeviceAttachment {
public:
    DeviceAttachment(PlaybackControl& control, AudioDevice* device) : control_(control) {
        control_.attachDevice(device);
    }
    ~DeviceAttachment() { control_.attachDevice(nullptr); }
    DeviceAttachment(const DeviceAttachment&) = delete;
    DeviceAttachment& operator=(const DeviceAttachment&) = delete;

private:
    PlaybackControl& control_;
};

class ActivePlayback {
public:
    ActivePlayback(PlaybackControl& control, bool noOutput) : control_(control) {
        control_.begin(noOutput);
    }
    ~ActivePlayback() { control_.end(); }
    ActivePlayback(const ActivePlayback&) = delete;
    ActivePlayback& operator=(const ActivePlayback&) = delete;

private:
    PlaybackControl& control_;
};

// Tells the effects engine's display, for as long as the playback runs, how much processed audio
// the device has not played yet.
class DisplayDelay {
public:
    DisplayDelay(const EffectsHooks& hooks, PlaybackControl& control) : hooks_(hooks) {
        if (hooks_.setDisplayDelaySource) hooks_.setDisplayDelaySource(&unheard, &control);
    }
    ~DisplayDelay() {
        if (hooks_.setDisplayDelaySource) hooks_.setDisplayDelaySource(nullptr, nullptr);
    }
    DisplayDelay(const DisplayDelay&) = delete;
    DisplayDelay& operator=(const DisplayDelay&) = delete;

private:
    static int64_t unheard(void* control) {
        return static_cast<PlaybackControl*>(control)->unheardFrames();
    }
    const EffectsHooks& hooks_;
};

class PositionReset {
public:
    explicit PositionReset(DecoderSettings& settings) : settings_(settings) {}
    ~PositionReset() {
        settings_.currentTimeMs = 0;
        settings_.whereFraction = 0.0f;
        settings_.lastRecordedFrame = 0;
        settings_.segmentStart = 0;
        settings_.handedOverFrames = 0;
    }
    PositionReset(const PositionReset&) = delete;
    PositionReset& operator=(const PositionReset&) = delete;

private:
    DecoderSettings& settings_;
};

}  // namespace ombrix::mp3
