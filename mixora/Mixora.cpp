// The C interface: thin wrappers over the one process-wide MixoraEngine. No exception crosses
// these functions; every C++ call below is noexcept or caught here.
#include "mixora.h"

#include <memory>
#include <new>
#include <string>

#include "LinkResolver.h"
#include "MixoraEngine.h"

namespace {

mixora::MixoraEngine& engine() {
    // Built on first use and never destroyed: a playback thread may still be inside shortStereo
    // while static destructors run at exit, and a recording's header is already up to date.
    alignas(mixora::MixoraEngine) static unsigned char storage[sizeof(mixora::MixoraEngine)];
    static mixora::MixoraEngine* const instance =
        std::construct_at(reinterpret_cast<mixora::MixoraEngine*>(storage));
    return *instance;
}

}  // namespace

extern "C" {

void XMInit(void) {
    engine().init();
}
void XMDestroy(void) {
    engine().destroy();
}
void XMEnableMMX(int32_t) {}  // the portable code paths need no processor switch
void XMSetSampleRate(int32_t hz) {
    engine().setSampleRate(hz);
}

int32_t shortStereo(int16_t* samples, int32_t count, int32_t) {
    if (count > 0) engine().process(samples, count / 2, 2);
    return count;
}

int32_t shortMono(int16_t* samples, int32_t count, int32_t) {
    if (count > 0) engine().process(samples, count, 1);
    return count;
}

void XMEnableFX(int32_t flag) {
    engine().enableFx(flag != 0);
}
void XMEnableReverb(void) {
    engine().enableReverb(true);
}
void XMDisableReverb(void) {
    engine().enableReverb(false);
}
void XMEnableDelay(void) {
    engine().enableDelay(true);
}
void XMDisableDelay(void) {
    engine().enableDelay(false);
}
void XMSetReverbDelay(int32_t v) {
    engine().setReverbDelay(v);
}
void XMSetReverbScale(int32_t v) {
    engine().setReverbScale(v);
}
void XMSetReverbDecay(int32_t v) {
    engine().setReverbDecay(v);
}
void XMSetDelayTime(int32_t v) {
    engine().setDelayTime(v);
}
void XMSetDelayScale(int32_t v) {
    engine().setDelayScale(v);
}
void XMSetDelayPan(int32_t v) {
    engine().setDelayPan(v);
}
void XMSetDelayFeed(int32_t v) {
    engine().setDelayFeed(v);
}
void XMEnableSurround(int32_t flag) {
    engine().enableSurround(flag != 0);
}
void XMCancelVocal(int32_t flag) {
    engine().cancelVocal(flag != 0);
}
void XMEnableOctaveEQ(int32_t flag) {
    engine().enableOctaveEq(flag != 0);
}
void XMSetOctaveEQ(int32_t band, float gainDb) {
    engine().setOctaveGain(band, gainDb);
}

int32_t XMLoadSample(int32_t pad, const char* wavPath) {
    if (wavPath == nullptr) return 0;
    try {
        return engine().loadSample(pad, wavPath) ? 1 : 0;
    } catch (const std::exception&) {  // the path string itself could not be made
        return 0;
    }
}
void XMPlaySample(int32_t pad) {
    engine().playSample(pad);
}
void XMStopSample(int32_t pad) {
    engine().stopSample(pad);
}
void XMSetSampleLoop(int32_t pad, int32_t flag) {
    engine().setSampleLoop(pad, flag != 0);
}
void XMSetSamplePan(int32_t pad, int32_t pan) {
    engine().setSamplePan(pad, pan);
}
void XMSetSampleVolume(int32_t pad, int32_t vol) {
    engine().setSampleVolume(pad, vol);
}

void XMEnableVisualization(int32_t updatesPerSecond) {
    engine().enableVisualization(updatesPerSecond);
}
void XMGetVisualization(float* left, float* right, uint8_t* waveform, uint8_t* spectrum) {
    engine().getVisualization(left, right, waveform, spectrum);
}
void XMClearVisualization(void) {
    engine().clearVisualization();
}
void XMSetDisplayDelaySource(int64_t (*source)(void* context), void* context) {
    engine().setDisplayDelaySource(source, context);
}

int32_t XMStartRecording(const char* wavPath) {
    if (wavPath == nullptr || *wavPath == '\0') return 0;
    try {
        return engine().startRecording(wavPath) ? 1 : 0;
    } catch (const std::exception&) {
        return 0;
    }
}
void XMStopRecording(void) {
    engine().stopRecording();
}

const char* ResolveLink(const char* path) {
    // One result per calling thread, so a call on one thread never overwrites the string another
    // thread is still reading; it stays valid until the same thread's next call.
    thread_local std::string result;
    try {
        result = path ? mixora::LinkResolver::resolve(path) : std::string();
    } catch (const std::exception&) {
        result.clear();
    }
    return result.c_str();
}
}
