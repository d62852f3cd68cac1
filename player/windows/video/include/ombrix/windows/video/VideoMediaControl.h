#pragma once

#include <QElapsedTimer>
#include <QSize>
#include <QString>
#include <memory>

#include "ombrix/media/MediaControl.h"

class QAudioOutput;
class QMediaPlayer;
class QVideoWidget;

namespace ombrix {

/**
 * @brief Plays video files, and any other file the sound-file sources do not take, with Qt
 *        Multimedia; a video shows in a plain window of its own while it plays.
 *
 * Opening does not wait for the file to be examined: open() returns at once with the length
 * unknown (0), lengthMs() gives it once the file is loaded, and a file that turns out not to
 * be playable stops by itself with failure() saying so, as a damaged sound file does (also one
 * that is not understood within kLoadLimitMs). The window is closed with the song; closing the
 * window stops the song. The program gets one from the shared module's entry point,
 * ombrix_video_control_new().
 * Thread affinity: main thread.
 */
class VideoMediaControl final : public MediaControl {
public:
    /// How long a file may take to be understood before it counts as unplayable.
    static constexpr qint64 kLoadLimitMs = 5000;

    VideoMediaControl();
    ~VideoMediaControl() override;

    bool canPlay(const QString& file) const override;
    void open(const QString& file, const Options& options) override;
    void play() override;
    void pause() override;
    void resume() override;
    void stop() override;
    void close() override;
    void seek(int ms) override;
    int positionMs() override;
    int lengthMs() const override;
    Mode mode() override;
    QString failure() const override { return failure_; }

    /// The window the picture is shown in (tests look at it).
    QVideoWidget* window() const noexcept { return window_.get(); }
    /// The file has been examined: its length is known or it failed.
    bool loaded() const noexcept { return loaded_; }

private:
    void build();
    void fitWindow(QSize size);
    void showWindow();

    std::unique_ptr<QMediaPlayer> player_;
    std::unique_ptr<QAudioOutput> audio_;
    std::unique_ptr<QVideoWidget> window_;
    QString file_;
    QElapsedTimer opened_;
    QString failure_;
    bool open_ = false;
    bool loaded_ = false;
    bool ended_ = false;
    bool stopped_ = true;  // stopped by the player or the window, not paused
    bool hasVideo_ = false;
    bool fitted_ = false;  // the window took this file's picture size
};

}  // namespace ombrix
