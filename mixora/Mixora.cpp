// Pass-through engine: blocks leave exactly as they arrive until the effects are built.
#include "mixora.h"

#include <string>

extern "C" {

void XMInit(void) {}
void XMDestroy(void) {}
void XMEnableMMX(int32_t) {}
void XMSetSampleRate(int32_t) {}
int32_t shortStereo(int16_t*, int32_t count, int32_t) { return count; }
int32_t shortMono(int16_t*, int32_t count, int32_t) { return count; }
void XMEnableFX(int32_t) {}
void XMEnableReverb(void) {}
void XMDisableReverb(void) {}
void XMEnableDelay(void) {}
void XMDisableDelay(void) {}
void XMSetReverbDelay(int32_t) {}
void XMSetReverbScale(int32_t) {}
void XMSetReverbDecay(int32_t) {}
void XMSetDelayTime(int32_t) {}
void XMSetDelayScale(int32_t) {}
void XMSetDelayPan(int32_t) {}
void XMSetDelayFeed(int32_t) {}
void XMEnableSurround(int32_t) {}
void XMCancelVocal(int32_t) {}
int32_t XMLoadSample(int32_t, const char*) { return 0; }
void XMPlaySample(int32_t) {}
void XMStopSample(int32_t) {}
void XMSetSampleLoop(int32_t, int32_t) {}
void XMSetSamplePan(int32_t, int32_t) {}
void XMSetSampleVolume(int32_t, int32_t) {}
void XMEnableVisualization(int32_t) {}
void XMGetVisualization(float* left, float* right, uint8_t*, uint8_t*) {
    if (left) *left = 0;
    if (right) *right = 0;
}
void XMClearVisualization(void) {}
int32_t XMStartRecording(const char*) { return 0; }
void XMStopRecording(void) {}
const char* ResolveLink(const char*) { return ""; }
}
