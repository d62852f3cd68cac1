#pragma once

#include <QString>
#include <QStringList>
#include <ostream>
#include <utility>
#include <vector>

#include "ombrix/effects/EffectsDesk.h"
#include "ombrix/effects/EqualizerSink.h"
#include "support/Files.h"

namespace ombrix::test {

/// Records every call as "name value..." in order.
class RecordingDesk final : public EffectsDesk {
public:
    QStringList calls;
    bool loadSucceeds = true;

    void enableReverb() noexcept override { add("enableReverb"); }
    void disableReverb() noexcept override { add("disableReverb"); }
    void setReverbDelay(int32_t v) noexcept override { add("reverbDelay", v); }
    void setReverbScale(int32_t v) noexcept override { add("reverbScale", v); }
    void setReverbDecay(int32_t v) noexcept override { add("reverbDecay", v); }
    void enableDelay() noexcept override { add("enableDelay"); }
    void disableDelay() noexcept override { add("disableDelay"); }
    void setDelayTime(int32_t v) noexcept override { add("delayTime", v); }
    void setDelayScale(int32_t v) noexcept override { add("delayScale", v); }
    void setDelayPan(int32_t v) noexcept override { add("delayPan", v); }
    void setDelayFeed(int32_t v) noexcept override { add("delayFeed", v); }
    void enableSurround(bool on) noexcept override { add("surround", on); }
    void cancelVocal(bool on) noexcept override { add("cancelVocal", on); }
    bool loadSample(int pad, const QString& path) noexcept override {
        calls << QStringLiteral("loadSample %1 %2").arg(pad).arg(path);
        return loadSucceeds;
    }
    void playSample(int pad) noexcept override { add("playSample", pad); }
    void stopSample(int pad) noexcept override { add("stopSample", pad); }
    void setSampleLoop(int pad, bool on) noexcept override { add("sampleLoop", pad, on); }
    void setSamplePan(int pad, int32_t v) noexcept override { add("samplePan", pad, v); }
    void setSampleVolume(int pad, int32_t v) noexcept override { add("sampleVolume", pad, v); }
    void changePitch(uint32_t v) noexcept override { add("pitch", qint64(v)); }

private:
    void add(const char* name) { calls << QString::fromLatin1(name); }
    void add(const char* name, qint64 a) { calls << QStringLiteral("%1 %2").arg(name).arg(a); }
    void add(const char* name, qint64 a, qint64 b) {
        calls << QStringLiteral("%1 %2 %3").arg(name).arg(a).arg(b);
    }
};

/// Records every band gain sent, and keeps the last gain of each band; octave gains apart.
class RecordingEqualizer final : public EqualizerSink {
public:
    std::vector<std::pair<int, float>> calls;
    float bands[32] = {};
    std::vector<std::pair<int, float>> octaveCalls;
    float octaves[10] = {};

    void setBand(int band, float gain) noexcept override {
        calls.emplace_back(band, gain);
        if (band >= 0 && band < 32) bands[band] = gain;
    }
    void setOctaveGain(int band, float gainDb) noexcept override {
        octaveCalls.emplace_back(band, gainDb);
        if (band >= 0 && band < 10) octaves[band] = gainDb;
    }
};

}  // namespace ombrix::test
