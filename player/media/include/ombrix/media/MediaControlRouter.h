#pragma once

#include <memory>

#include "ombrix/media/MediaControl.h"

namespace ombrix {

/**
 * @brief One media control over several backends: each file opens on the first backend that
 *        plays its type (sound files, MIDI and CD tracks before video), and every other call
 *        goes to the backend of the file that is open.
 *
 * The controller sees one device and cannot tell which backend plays.
 * Thread affinity: main thread.
 */
class MediaControlRouter final : public MediaControl {
public:
    /// @p first is asked first; @p second may be null.
    MediaControlRouter(std::unique_ptr<MediaControl> first, std::unique_ptr<MediaControl> second);
    ~MediaControlRouter() override;

    bool canPlay(const QString& file) const override;
    void open(const QString& file, const Options& options) override;
    void play() override { current().play(); }
    void pause() override { current().pause(); }
    void resume() override { current().resume(); }
    void stop() override { current().stop(); }
    void close() override { current().close(); }
    void seek(int ms) override { current().seek(ms); }
    int positionMs() override { return current().positionMs(); }
    int lengthMs() const override { return current().lengthMs(); }
    Mode mode() override { return current().mode(); }
    bool deviceFailed() const override { return current().deviceFailed(); }
    QString failure() const override { return current().failure(); }

private:
    MediaControl& current() const { return *current_; }

    std::unique_ptr<MediaControl> first_;
    std::unique_ptr<MediaControl> second_;
    MediaControl* current_;
};

}  // namespace ombrix
