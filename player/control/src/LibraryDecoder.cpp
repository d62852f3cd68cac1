#include <algorithm>

#include "mixora.h"
#include "mp3.h"
#include "ombrix/control/DecoderControl.h"

namespace ombrix {

int LibraryDecoder::totalMs(const QString& file, int32_t offset) {
    return OmbrixGetTotalMs(file.toLocal8Bit().constData(), offset);
}

void LibraryDecoder::pause(bool on) {
    OmbrixPause(on ? 1 : 0);
}

void LibraryDecoder::seekFrames(int frames) {
    OmbrixSeek(frames);
}

void LibraryDecoder::seekFraction(double fraction) {
    OmbrixAbsoluteSeek(static_cast<float>(std::clamp(fraction, 0.0, 1.0)));
}

double LibraryDecoder::where() {
    return OmbrixWhere();
}

int LibraryDecoder::currentMs() {
    return OmbrixGetCurrentTime();
}

void LibraryDecoder::setOutputLevel(int left, int right) {
    OmbrixSetOutputLevel(left, right);
}

void LibraryDecoder::enableEffects(bool on) {
    XMEnableFX(on ? 1 : 0);
}

void LibraryDecoder::enableEqualizer(bool on) {
    // Both equalisers follow the switch; the one not chosen in the equaliser window is flat.
    OmbrixEnableEQ(on ? 1 : 0);
    XMEnableOctaveEQ(on ? 1 : 0);
}

bool LibraryDecoder::startRecording(const QString& wavPath) {
    return XMStartRecording(wavPath.toLocal8Bit().constData()) != 0;
}

void LibraryDecoder::stopRecording() {
    XMStopRecording();
}

int LibraryDecoder::queueNext(const QString& file, int32_t offset) {
    return OmbrixQueueNext(file.toLocal8Bit().constData(), offset);
}

bool LibraryDecoder::cancelNext() {
    return OmbrixCancelNext() != 0;
}

int LibraryDecoder::songNumber() {
    return OmbrixSongNumber();
}

void LibraryDecoder::setSongGain(bool current, double gain) {
    OmbrixSetSongGain(current ? 0 : 1, static_cast<float>(gain));
}

}  // namespace ombrix
