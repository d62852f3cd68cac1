#pragma once

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QSaveFile>
#include <QString>
#include <QUrl>
#include <memory>

namespace ombrix {

/**
 * @brief Downloads one web document at a time into a folder, through an HTTP proxy when one
 *        is set. The document is written under the last element of its address.
 *
 * Thread affinity: the thread that owns the object (the main thread); it needs an event loop.
 */
class HttpDownloader : public QObject {
    Q_OBJECT
public:
    /// A download that receives nothing for this long is aborted.
    static constexpr int kStallTimeoutMs = 30000;

    explicit HttpDownloader(QObject* parent = nullptr);
    ~HttpDownloader() override;

    /// Uses @p host:@p port as HTTP proxy; an empty host means a direct connection.
    void setProxy(const QString& host, quint16 port);

    /**
     * @brief File name a download of @p address is written under: the text after the last
     *        "/" or "\\" (query and fragment removed), or "index.html" when that is empty.
     */
    static QString documentName(const QString& address);

    /**
     * @brief Starts downloading @p address into @p folder. A download still running is
     *        aborted first. Emits finished() later, also on failure.
     * @return the path the document will have.
     */
    QString start(const QString& address, const QString& folder);

    /// Runs a local event loop until the running download has finished (no-op when idle).
    void waitForFinished();

    bool isRunning() const noexcept { return reply_ != nullptr; }
    /// HTTP status of the last finished download (0 when there was no HTTP answer).
    int lastStatus() const noexcept { return lastStatus_; }
    QString lastError() const { return lastError_; }

signals:
    /// The document begins to arrive (first bytes of a successful answer).
    void started(const QString& file);
    /// The download ended; @p ok is false on a network error or a status of 400 or more.
    void finished(bool ok, int status, const QString& file);

private:
    void onReadyRead();
    void onFinished();

    QNetworkAccessManager manager_;
    QPointer<QNetworkReply> reply_;
    std::unique_ptr<QSaveFile> out_;
    QString file_;
    bool announced_ = false;
    int lastStatus_ = 0;
    QString lastError_;
};

}  // namespace ombrix
