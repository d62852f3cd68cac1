#include "ombrix/app/DeferredVideoControl.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ombrix {

QString DeferredVideoControl::installedModule() {
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("../lib/ombrix/libombrix_video.so"));
}

DeferredVideoControl::DeferredVideoControl(QString modulePath)
    : modulePath_(std::move(modulePath)) {}

// The player goes; the module stays loaded (QLibrary does not unload it), as Qt's own
// plug-ins may still hold objects of it until the program ends.
DeferredVideoControl::~DeferredVideoControl() = default;

bool DeferredVideoControl::canPlay(const QString& file) const {
    return QFileInfo(file).suffix().compare(QLatin1String("cda"), Qt::CaseInsensitive) != 0;
}

bool DeferredVideoControl::load() {
    if (player_) return true;
    if (failed_) return false;
    failed_ = true;
    module_.setFileName(modulePath_);
    using Factory = MediaControl* (*)();
    const auto make = reinterpret_cast<Factory>(module_.resolve("ombrix_video_control_new"));
    if (!make) {
        qWarning("video module: %s", qPrintable(module_.errorString()));
        return false;
    }
    player_.reset(make());
    failed_ = player_ == nullptr;
    return player_ != nullptr;
}

void DeferredVideoControl::open(const QString& file, const Options& options) {
    if (!load()) throw MediaError("no player for video files");
    player_->open(file, options);
}

void DeferredVideoControl::play() {
    if (player_) player_->play();
}

void DeferredVideoControl::pause() {
    if (player_) player_->pause();
}

void DeferredVideoControl::resume() {
    if (player_) player_->resume();
}

void DeferredVideoControl::stop() {
    if (player_) player_->stop();
}

void DeferredVideoControl::close() {
    if (player_) player_->close();
}

void DeferredVideoControl::seek(int ms) {
    if (player_) player_->seek(ms);
}

int DeferredVideoControl::positionMs() {
    return player_ ? player_->positionMs() : 0;
}

int DeferredVideoControl::lengthMs() const {
    return player_ ? player_->lengthMs() : 0;
}

MediaControl::Mode DeferredVideoControl::mode() {
    return player_ ? player_->mode() : Mode::NotReady;
}

QString DeferredVideoControl::failure() const {
    return player_ ? player_->failure() : QString();
}

}  // namespace ombrix
