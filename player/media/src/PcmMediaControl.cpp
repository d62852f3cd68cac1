#include "ombrix/media/PcmMediaControl.h"

#include <algorithm>
#include <climits>

#include "SourcePlayback.h"
#include "mp3.h"
#include "ombrix/media/PcmSource.h"

namespace ombrix {

PcmMediaControl::PcmMediaControl() = default;

PcmMediaControl::~PcmMediaControl() {
    close();
}

void PcmMediaControl::open(const QString& file, const Options& options) {
    close();
    std::unique_ptr<PcmSource> source = openPcmSource(file, options.soundFont);
    options_ = options;
    lengthMs_ = static_cast<int>(std::min<int64_t>(source->lengthMs(), INT_MAX));
    positionMs_ = 0;
    source_ = std::move(source);
}

bool PcmMediaControl::running() const {
    return playback_ && !playback_->done();
}

void PcmMediaControl::play() {
    if (!source_) return;
    if (running()) {
        if (paused_) resume();
        return;
    }
    // A song that has played to its end starts again from its beginning.
    const int at = positionMs();
    start(at >= lengthMs_ ? 0 : at);
}

void PcmMediaControl::start(int fromMs) {
    playback_.reset();
    paused_ = false;
    positionMs_ = fromMs;
    playback_ = std::make_unique<SourcePlayback>(*source_, options_, fromMs);
}

void PcmMediaControl::pause() {
    if (!running() || paused_) return;
    playback_->setPaused(true);
    paused_ = true;
}

void PcmMediaControl::resume() {
    if (!running()) {
        play();
        return;
    }
    if (!paused_) return;
    playback_->setPaused(false);
    paused_ = false;
}

void PcmMediaControl::stop() {
    if (!playback_) return;
    positionMs_ = positionMs();
    playback_.reset();
    paused_ = false;
}

void PcmMediaControl::close() {
    stop();
    source_.reset();
    lengthMs_ = 0;
    positionMs_ = 0;
}

void PcmMediaControl::seek(int ms) {
    if (!source_) return;
    ms = std::clamp(ms, 0, lengthMs_);
    if (!running() || !playback_->begun()) {
        // Nothing of this run has been heard: it starts again there.
        const bool paused = paused_;
        start(ms);
        if (paused) pause();
        return;
    }
    OmbrixAbsoluteSeek(lengthMs_ > 0 ? static_cast<float>(double(ms) / lengthMs_) : 0.0f);
}

int PcmMediaControl::positionMs() {
    if (running()) {
        if (!playback_->begun()) return positionMs_;
        return std::min(OmbrixGetCurrentTime(), lengthMs_);
    }
    // A song that played to its end stands at its end.
    if (playback_ && playback_->result() == 1) return lengthMs_;
    return positionMs_;
}

MediaControl::Mode PcmMediaControl::mode() {
    if (!source_) return Mode::NotReady;
    if (!running()) return Mode::Stopped;
    return paused_ ? Mode::Paused : Mode::Playing;
}

bool PcmMediaControl::deviceFailed() const {
    return playback_ && playback_->done() && playback_->result() == 0;
}

QString PcmMediaControl::failure() const {
    // A source the output cannot take (a rate or channel count out of its range).
    if (playback_ && playback_->done() && playback_->result() < 0)
        return QStringLiteral("this sound format is not played");
    return {};
}

}  // namespace ombrix
