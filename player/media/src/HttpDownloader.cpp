#include "ombrix/media/HttpDownloader.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStorageInfo>

#include "ombrix/media/ArchiveMember.h"

namespace ombrix {

HttpDownloader::HttpDownloader(QObject* parent) : QObject(parent) {
    // No system proxy discovery: the player's own settings decide.
    manager_.setProxy(QNetworkProxy::NoProxy);
    // A server that stops sending must not keep a playlist entry waiting forever.
    manager_.setTransferTimeout(kStallTimeoutMs);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        abortWith(QStringLiteral("the download took longer than %1 s").arg(deadlineMs_ / 1000));
    });
}

void HttpDownloader::setLimits(qint64 maxBytes, int deadlineMs) {
    maxBytes_ = maxBytes > 0 ? maxBytes : kDefaultMaxBytes;
    deadlineMs_ = deadlineMs > 0 ? deadlineMs : kDefaultDeadlineMs;
}

void HttpDownloader::abortWith(const QString& reason) {
    if (!reply_ || failed_) return;
    failed_ = true;
    lastError_ = reason;
    reply_->abort();  // finished() follows
}

bool HttpDownloader::roomFor(qint64 more) {
    if (received_ + more > maxBytes_) {
        abortWith(QStringLiteral("the document is larger than %1 bytes").arg(maxBytes_));
        return false;
    }
    // The disk is looked at before the first byte and then after every few MiB.
    constexpr qint64 kCheckEvery = qint64{4} << 20;
    if (received_ == 0 || received_ + more - checkedDiskAt_ >= kCheckEvery) {
        checkedDiskAt_ = received_ + more;
        const QStorageInfo storage(QFileInfo(file_).absolutePath());
        if (storage.isValid() && storage.bytesAvailable() - more < kDiskReserve) {
            abortWith(QStringLiteral("not enough disk space for the download"));
            return false;
        }
    }
    return true;
}

HttpDownloader::~HttpDownloader() {
    deadline_.stop();
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void HttpDownloader::setProxy(const QString& host, quint16 port) {
    if (host.trimmed().isEmpty())
        manager_.setProxy(QNetworkProxy::NoProxy);
    else
        manager_.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, host.trimmed(), port));
}

QString HttpDownloader::documentName(const QString& address) {
    QString path = address.section(QLatin1Char('#'), 0, 0).section(QLatin1Char('?'), 0, 0);
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    QString name = safeMemberFileName(path.section(QLatin1Char('\\'), -1));
    // "http://host" alone has the host as its last element; a document name needs a path.
    const QString afterScheme = address.section(QStringLiteral("://"), 1);
    if (!afterScheme.contains(QLatin1Char('/'))) name.clear();
    return name.isEmpty() ? QStringLiteral("index.html") : name;
}

QString HttpDownloader::start(const QString& address, const QString& folder, const QString& name) {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
        reply_.clear();
    }
    out_.reset();
    announced_ = false;
    failed_ = false;
    received_ = 0;
    checkedDiskAt_ = 0;
    lastStatus_ = 0;
    lastError_.clear();
    QDir().mkpath(folder);
    file_ = QDir(folder).filePath(name.isEmpty() ? documentName(address) : name);
    out_ = std::make_unique<QSaveFile>(file_);
    if (!out_->open(QIODevice::WriteOnly)) lastError_ = out_->errorString();
    QNetworkRequest request{QUrl(address)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    reply_ = manager_.get(request);
    connect(reply_, &QNetworkReply::readyRead, this, &HttpDownloader::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &HttpDownloader::onFinished);
    connect(reply_, &QNetworkReply::downloadProgress, this, &HttpDownloader::progress);
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
        // A size announced in the headers is refused before any byte is stored.
        bool known = false;
        const qint64 total =
            reply_ ? reply_->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known) : 0;
        if (known && total > 0) roomFor(total);
    });
    deadline_.start(deadlineMs_);
    return file_;
}

void HttpDownloader::onReadyRead() {
    if (!reply_ || failed_) return;
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray data = reply_->readAll();
    if (status >= 400) return;  // an error page is not the document
    if (!roomFor(data.size())) return;
    received_ += data.size();
    if (!announced_) {
        announced_ = true;
        emit started(file_);
    }
    if (out_ && out_->isOpen() && out_->write(data) != data.size())
        lastError_ = out_->errorString();
}

void HttpDownloader::onFinished() {
    QNetworkReply* reply = reply_;
    if (!reply) return;
    deadline_.stop();
    onReadyRead();
    lastStatus_ = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    bool ok = reply->error() == QNetworkReply::NoError && lastStatus_ < 400 && lastError_.isEmpty();
    if (reply->error() != QNetworkReply::NoError && lastError_.isEmpty())
        lastError_ = reply->errorString();
    if (ok && out_ && !out_->commit()) {
        ok = false;
        lastError_ = out_->errorString();
    }
    out_.reset();  // uncommitted: the partial download is discarded
    reply_.clear();
    reply->deleteLater();
    emit finished(ok, lastStatus_, file_);
}

}  // namespace ombrix
