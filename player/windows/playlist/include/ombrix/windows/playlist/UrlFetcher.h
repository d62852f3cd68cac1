#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace ombrix {

class HttpDownloader;
class SettingsStore;

/**
 * @brief Downloads the web addresses added to the playlist window in the background, one at a
 *        time, into the home's download folder, where playing the entry later finds the file
 *        instead of downloading it then. What happens is told as status texts; the proxy and
 *        the size and time limits come from the settings.
 *
 * Thread affinity: main thread (the download runs on its event loop, never a nested one).
 */
class UrlFetcher : public QObject {
    Q_OBJECT
public:
    /// Most addresses waiting behind the running download.
    static constexpr int kMaxQueued = 64;

    UrlFetcher(const SettingsStore& store, QString downloadFolder, QObject* parent = nullptr);
    ~UrlFetcher() override;

    /// Queues @p address; a document already in the download folder is not fetched again.
    void fetch(const QString& address);
    bool busy() const;

signals:
    /// A line for the status bar ("downloading x.mp3: 40%", "downloaded x.mp3", ...).
    void status(const QString& text);
    /// The queue is empty again.
    void idle();

private:
    void startNext();

    QString folder_;
    std::unique_ptr<HttpDownloader> downloader_;
    QStringList queue_;
    QString current_;
};

}  // namespace ombrix
