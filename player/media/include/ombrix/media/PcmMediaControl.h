#pragma once

#include <memory>

#include "ombrix/media/MediaControl.h"
#include "ombrix/media/PcmSource.h"

namespace ombrix {

class PcmSource;
class SourcePlayback;

/**
 * @brief The media control of sound files and MIDI: the file becomes a PcmSource
 *        (openPcmSource) that the decoder library plays through the same output, effects and
 *        controls as an MPEG song, so levels, the spectrum, the DJ control and the position
 *        follow what is heard.
 *
 * Thread affinity: main thread. The playback thread is joined by stop(), close() and the
 * destructor; none of them waits longer than a block of audio.
 */
class PcmMediaControl final : public MediaControl {
public:
    PcmMediaControl();
    ~PcmMediaControl() override;

    bool canPlay(const QString& file) const override { return hasPcmSource(file); }
    void open(const QString& file, const Options& options) override;
    void play() override;
    void pause() override;
    void resume() override;
    void stop() override;
    void close() override;
    void seek(int ms) override;
    int positionMs() override;
    int lengthMs() const override { return lengthMs_; }
    Mode mode() override;
    bool deviceFailed() const override;
    QString failure() const override;

private:
    bool running() const;
    /// A new playback thread from @p fromMs (the old one joined first).
    void start(int fromMs);

    Options options_;
    std::unique_ptr<PcmSource> source_;
    std::unique_ptr<SourcePlayback> playback_;  // declared after the source it reads
    int lengthMs_ = 0;
    int positionMs_ = 0;  // where a stopped song is
    bool paused_ = false;
};

}  // namespace ombrix
