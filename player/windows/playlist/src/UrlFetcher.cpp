#include "ombrix/windows/playlist/UrlFetcher.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "ombrix/media/HttpDownloader.h"
#include "ombrix/settings/SettingsStore.h"

namespace ombrix {

UrlFetcher::UrlFetcher(const SettingsStore& store, QString downloadFolder, QObject* parent)
    : QObject(parent),
      folder_(std::move(downloadFolder)),
      downloader_(std::make_unique<HttpDownloader>()) {
    const PlayerSettings& s = store.settings();
    const quint16 port = quint16(s.proxyport.toUInt());
    downloader_->setProxy(s.proxy, port == 0 ? 80 : port);
    downloader_->setLimits(qint64{std::max(s.downloadlimit, 1)} * 1024 * 1024,
                           std::clamp(s.downloadtimeout, 1, 24 * 60) * 60 * 1000);
    connect(
        downloader_.get(), &HttpDownloader::progress, this, [this](qint64 received, qint64 total) {
            const QString name = HttpDownloader::documentName(current_);
            emit status(
                total > 0
                    ? QStringLiteral("downloading %1: %2%").arg(name).arg(received * 100 / total)
                    : QStringLiteral("downloading %1: %2 KB").arg(name).arg(received / 1024));
        });
    connect(
        downloader_.get(), &HttpDownloader::finished, this, [this](bool ok, int, const QString&) {
            const QString name = HttpDownloader::documentName(current_);
            emit status(
                ok ? QStringLiteral("downloaded ") + name
                   : QStringLiteral("cannot download %1: %2").arg(name, downloader_->lastError()));
            current_.clear();
            // Queued: the downloader is still inside its own signal.
            QMetaObject::invokeMethod(this, &UrlFetcher::startNext, Qt::QueuedConnection);
        });
}

UrlFetcher::~UrlFetcher() = default;

bool UrlFetcher::busy() const {
    return !current_.isEmpty() || !queue_.isEmpty();
}

void UrlFetcher::fetch(const QString& address) {
    if (queue_.size() >= kMaxQueued || queue_.contains(address) || address == current_) return;
    queue_.append(address);
    if (current_.isEmpty()) startNext();
}

void UrlFetcher::startNext() {
    if (!current_.isEmpty()) return;
    while (!queue_.isEmpty()) {
        const QString address = queue_.takeFirst();
        const QString name = HttpDownloader::documentName(address);
        if (QFileInfo::exists(QDir(folder_).filePath(name))) {
            emit status(name + QStringLiteral(" is already downloaded"));
            continue;
        }
        QDir().mkpath(folder_);
        current_ = address;
        emit status(QStringLiteral("downloading ") + name);
        downloader_->start(address, folder_);
        return;
    }
    emit idle();
}

}  // namespace ombrix
