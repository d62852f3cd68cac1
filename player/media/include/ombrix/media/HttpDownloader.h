#pragma once

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QSaveFile>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <memory>

namespace ombrix {

/**
 * @brief Downloads one web document at a time into a folder, through an HTTP proxy when one
 *        is set. The document is written under the last element of its address, and only once
 *        complete. Downloads are bounded: a size limit, an overall deadline, a stall timeout and
 *        a free-space reserve on the download folder's disk.
 *
 * Thread affinity: the thread that owns the object (the main thread); it needs an event loop.
 */
class HttpDownloader : public QObject {
    Q_OBJECT
public:
    /// A download that receives nothing for this long is aborted.
    static constexpr int kStallTimeoutMs = 30000;
    /// Default largest document (setLimits()).
    static constexpr qint64 kDefaultMaxBytes = qint64{512} << 20;
    /// Default time a whole download may take (setLimits()).
    static constexpr int kDefaultDeadlineMs = 30 * 60 * 1000;
    /// A download stops before it leaves less than this free on the download folder's disk.
    static constexpr qint64 kDiskReserve = qint64{256} << 20;

    explicit HttpDownloader(QObject* parent = nullptr);
    ~HttpDownloader() override;

    /// Uses @p host:@p port as HTTP proxy; an empty host means a direct connection.
    void setProxy(const QString& host, quint16 port);

    /**
     * @brief Limits the next downloads: a document larger than @p maxBytes (announced or
     *        received) and a download still running after @p deadlineMs are aborted and fail.
     *        Values of 0 or less keep the defaults.
     */
    void setLimits(qint64 maxBytes, int deadlineMs);

    /**
     * @brief File name a download of @p address is written under: the text after the last
     *        "/" or "\\" (query and fragment removed), or "index.html" when that is empty.
     */
    static QString documentName(const QString& address);

    /**
     * @brief Starts downloading @p address into @p folder, as @p name (by default the
     *        documentName()). A download still running is aborted first. Emits finished()
     *        later, also on failure.
     * @return the path the document will have.
     */
    QString start(const QString& address, const QString& folder, const QString& name = {});

    bool isRunning() const noexcept { return reply_ != nullptr; }
    /// HTTP status of the last finished download (0 when there was no HTTP answer).
    int lastStatus() const noexcept { return lastStatus_; }
    QString lastError() const { return lastError_; }

signals:
    /// The document begins to arrive (first bytes of a successful answer).
    void started(const QString& file);
    /// The download ended; @p ok is false on a network error, a status of 400 or more, a
    /// document over the size limit, the deadline, or too little disk space (see lastError()).
    void finished(bool ok, int status, const QString& file);
    /// Bytes received so far of @p total (-1 while the size is unknown).
    void progress(qint64 received, qint64 total);

private:
    void onReadyRead();
    void onFinished();
    /// Stops the running download; it fails with @p reason.
    void abortWith(const QString& reason);
    /// False (after abortWith()) when @p more bytes would pass the size limit or the disk reserve.
    bool roomFor(qint64 more);

    QNetworkAccessManager manager_;
    QPointer<QNetworkReply> reply_;
    std::unique_ptr<QSaveFile> out_;
    QString file_;
    QTimer deadline_;
    qint64 maxBytes_ = kDefaultMaxBytes;
    int deadlineMs_ = kDefaultDeadlineMs;
    qint64 received_ = 0;
    qint64 checkedDiskAt_ = 0;  // received_ when free space was last looked at
    bool announced_ = false;
    bool failed_ = false;
    int lastStatus_ = 0;
    QString lastError_;
};

}  // namespace ombrix
