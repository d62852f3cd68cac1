#pragma once

#include <QLibrary>
#include <QString>
#include <memory>

#include "ombrix/media/MediaControl.h"

namespace ombrix {

/**
 * @brief The video player, loaded from its shared module when a file first needs it: until
 *        then the program carries none of Qt Multimedia.
 *
 * Takes every file but CD tracks. A module that cannot be loaded makes open() fail with "no
 * player for video files" (and the playlist moves on); nothing else changes.
 * Thread affinity: main thread.
 */
class DeferredVideoControl final : public MediaControl {
public:
    /// The module as installed, relative to the program: "../lib/ombrix/libombrix_video.so".
    static QString installedModule();

    explicit DeferredVideoControl(QString modulePath);
    ~DeferredVideoControl() override;

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
    QString failure() const override;

    bool loaded() const noexcept { return player_ != nullptr; }

private:
    bool load();

    QString modulePath_;
    QLibrary module_;
    std::unique_ptr<MediaControl> player_;
    bool failed_ = false;  // the module was tried and could not be used
};

}  // namespace ombrix
