// Whole-stream decoding of arbitrary bytes on every synthesis path, with seeks and the
// equaliser: the playback loop must end normally and stay inside its buffers.
#include "FuzzInput.h"
#include "core/DecoderSettings.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"
#include "output/CaptureAudioDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ombrix::mp3;
    if (size < 2) return 0;
    const uint8_t control = data[0];
    const std::string& path = ombrix::fuzz::writeScratch(data + 1, size - 1);

    DecoderSettings settings;
    settings.enableMmx((control & 3) == 1);
    settings.enableK63D((control & 3) == 2);
    settings.setVolume(32768);
    settings.bufferFrames = 1 + ((control >> 2) & 3);
    settings.eqEnabled = (control >> 4) & 1;
    for (auto& gain : settings.eqGains) gain = 0.5f;
    PlaybackControl playbackControl;
    int blocks = 0;
    const bool seek = (control & 0x20) != 0;
    CaptureAudioDevice device([&](const PcmFormat&, const int16_t*, size_t) {
        if (seek && ++blocks == 2) playbackControl.requestSeek(control >> 6);
    });
    Playback playback(settings, playbackControl, EffectsHooks{});
    const int result = playback.run(path, 0, &device);
    if (result != Playback::kFinished && result != Playback::kNoFrame) __builtin_trap();
    return 0;
}
