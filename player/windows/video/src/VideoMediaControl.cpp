#include "ombrix/windows/video/VideoMediaControl.h"

#include <QAudioOutput>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>
#include <algorithm>
#include <functional>

namespace ombrix {

namespace {

const QString kUnplayable = QStringLiteral("file is not accesible or corrupt");

QString extensionOf(const QString& file) {
    const QString suffix = QFileInfo(file).suffix().toLower();
    return suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
}

// The picture's window: closing it stops the song, as the stop button would.
class VideoWindow final : public QVideoWidget {
public:
    explicit VideoWindow(std::function<void()> closed) : closed_(std::move(closed)) {
        setMinimumSize(160, 120);
        resize(640, 360);
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (closed_) closed_();
        QVideoWidget::closeEvent(event);
    }

private:
    std::function<void()> closed_;
};

}  // namespace

VideoMediaControl::VideoMediaControl() = default;

VideoMediaControl::~VideoMediaControl() {
    // The player lets go of its output and window before they go.
    if (player_) player_->stop();
    player_.reset();
}

bool VideoMediaControl::canPlay(const QString& file) const {
    // Anything but an audio disc's track, which is no file.
    return extensionOf(file) != QLatin1String(".cda");
}

void VideoMediaControl::build() {
    if (player_) return;
    // Made on first use: the multimedia framework loads its plug-ins only when a video plays.
    player_ = std::make_unique<QMediaPlayer>();
    audio_ = std::make_unique<QAudioOutput>();
    window_ = std::make_unique<VideoWindow>([this] {
        if (open_ && player_->playbackState() == QMediaPlayer::PlayingState) {
            player_->pause();
            stopped_ = true;
        }
    });
    player_->setAudioOutput(audio_.get());
    // A window first shown after the player began drawing into it stays black, so it is made
    // ready once, off screen, before it becomes the output.
    window_->setAttribute(Qt::WA_DontShowOnScreen);
    window_->show();
    window_->hide();
    window_->setAttribute(Qt::WA_DontShowOnScreen, false);
    player_->setVideoOutput(window_.get());
    QObject::connect(player_.get(), &QMediaPlayer::mediaStatusChanged, window_.get(),
                     [this](QMediaPlayer::MediaStatus status) {
                         switch (status) {
                             case QMediaPlayer::LoadedMedia:
                             case QMediaPlayer::BufferedMedia:
                                 loaded_ = true;
                                 break;
                             case QMediaPlayer::EndOfMedia:
                                 loaded_ = true;
                                 ended_ = true;
                                 window_->hide();
                                 break;
                             case QMediaPlayer::InvalidMedia:
                                 loaded_ = true;
                                 ended_ = true;
                                 if (failure_.isEmpty()) failure_ = kUnplayable;
                                 window_->hide();
                                 break;
                             default:
                                 break;
                         }
                     });
    QObject::connect(player_.get(), &QMediaPlayer::errorOccurred, window_.get(),
                     [this](QMediaPlayer::Error error, const QString& text) {
                         if (error == QMediaPlayer::NoError) return;
                         qWarning("video: %s", qPrintable(text));
                         loaded_ = true;
                         ended_ = true;
                         if (failure_.isEmpty()) failure_ = kUnplayable;
                         window_->hide();
                     });
    // The size comes with the frame: asking the sink for it from here can deadlock.
    QObject::connect(window_->videoSink(), &QVideoSink::videoFrameChanged, window_.get(),
                     [this](const QVideoFrame& frame) {
                         if (!fitted_) fitWindow(frame.size());
                     });
    QObject::connect(player_.get(), &QMediaPlayer::hasVideoChanged, window_.get(),
                     [this](bool video) {
                         hasVideo_ = video;
                         showWindow();
                     });
}

void VideoMediaControl::fitWindow(QSize size) {
    // Each file's picture at its own size, within reason, once: after that the window keeps
    // the size the user gives it.
    if (!size.isValid() || size.isEmpty()) return;
    fitted_ = true;
    window_->resize(size.boundedTo(QSize(1280, 720)).expandedTo(QSize(160, 120)));
}

void VideoMediaControl::showWindow() {
    if (!hasVideo_ || !open_ || stopped_ || ended_) return;
    if (player_->playbackState() != QMediaPlayer::PlayingState) return;
    window_->setWindowTitle(QFileInfo(file_).fileName());
    if (!window_->isVisible()) window_->show();
}

void VideoMediaControl::open(const QString& file, const Options&) {
    close();
    if (!QFileInfo(file).isFile()) throw MediaError("file input error");
    build();
    file_ = file;
    failure_.clear();
    loaded_ = ended_ = hasVideo_ = fitted_ = false;
    stopped_ = true;
    open_ = true;
    opened_.start();
    player_->setSource(QUrl::fromLocalFile(file));
}

void VideoMediaControl::play() {
    if (!open_ || !failure_.isEmpty()) return;
    if (ended_) {
        player_->setPosition(0);
        ended_ = false;
    }
    stopped_ = false;
    player_->play();
    showWindow();
}

void VideoMediaControl::pause() {
    if (open_ && !ended_) player_->pause();
}

void VideoMediaControl::resume() {
    if (open_ && !ended_ && !stopped_) {
        player_->play();
        showWindow();
    }
}

void VideoMediaControl::stop() {
    if (!open_) return;
    // Held where it is: Qt's own stop would go back to the start.
    player_->pause();
    stopped_ = true;
    window_->hide();
}

void VideoMediaControl::close() {
    if (!open_) return;
    open_ = false;
    player_->stop();
    player_->setSource(QUrl());
    window_->hide();
    file_.clear();
}

void VideoMediaControl::seek(int ms) {
    if (!open_ || !failure_.isEmpty()) return;
    const qint64 length = player_->duration();
    const qint64 to = std::clamp<qint64>(ms, 0, length > 0 ? length : ms);
    ended_ = false;
    player_->setPosition(to);
    if (stopped_) play();
}

int VideoMediaControl::positionMs() {
    if (!open_) return 0;
    if (ended_ && failure_.isEmpty()) return lengthMs();
    return static_cast<int>(std::min<qint64>(player_->position(), INT32_MAX));
}

int VideoMediaControl::lengthMs() const {
    if (!open_) return 0;
    return static_cast<int>(std::clamp<qint64>(player_->duration(), 0, INT32_MAX));
}

MediaControl::Mode VideoMediaControl::mode() {
    if (!open_) return Mode::NotReady;
    // GStreamer may go on looking at a damaged file without ever saying it cannot play it: a
    // file not understood within the limit counts as unplayable, so the playlist moves on.
    if (!loaded_ && !ended_ && opened_.hasExpired(kLoadLimitMs)) {
        player_->stop();
        ended_ = true;
        failure_ = kUnplayable;
        window_->hide();
    }
    if (ended_ || stopped_) return Mode::Stopped;
    // Asked to play but still loading counts as playing: the song has not ended.
    return player_->playbackState() == QMediaPlayer::PausedState ? Mode::Paused : Mode::Playing;
}

}  // namespace ombrix

// The module's one entry point: the program owns what it gets (and deletes it through the
// virtual destructor); null when it could not be made.
extern "C" __attribute__((visibility("default"))) ombrix::MediaControl* ombrix_video_control_new() {
    try {
        return std::make_unique<ombrix::VideoMediaControl>().release();
    } catch (...) {
        return nullptr;
    }
}
