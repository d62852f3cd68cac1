#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>

#include "ombrix/media/ArchiveMember.h"
#include "ombrix/media/HttpDownloader.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/media/TempRegister.h"

namespace ombrix {

/// A web address could not be downloaded (network error or a status of 400 or more).
class DownloadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// An archive member is larger than the extract limit; the entry itself is fine.
class ExtractLimitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/**
 * @brief Turns a playlist entry into a local file: archive members and compressed modules are
 *        extracted into the temporary folder, shared network files are copied there, and web
 *        addresses are downloaded into the download folder.
 *
 * Each extract lives in a folder of its own inside the private temporary folder, named by a
 * hash of the archive (path, size, time) and the member, and takes the member's base name, so
 * nothing stored in an archive can be written outside it, two members never share a file, and
 * a stale extract of another archive is never played.
 *
 * Web addresses are fetched without blocking: needsDownload() tells whether resolve() can answer
 * at once, and startDownload() fetches the document so that it can. Downloads are kept under a
 * hash of the whole address, count as temporary files (removed with them), and the download
 * folder is held under kMaxDownloadCacheBytes by removing the oldest copies.
 * Thread affinity: main thread (downloads need its event loop).
 */
class EntryResolver {
public:
    struct Config {
        QString tempFolder;      ///< where extracts and copies go
        QString downloadFolder;  ///< "file" in the home
        bool copyshared = false;
        bool glbtemp10 = false;
        QString proxy;  ///< proxy host; empty for a direct connection
        quint16 proxyport = 80;
        qint64 downloadLimitBytes = HttpDownloader::kDefaultMaxBytes;  ///< largest download
        int downloadDeadlineMs = HttpDownloader::kDefaultDeadlineMs;   ///< longest download
        qint64 extractLimitBytes = qint64{512} << 20;  ///< largest archive member extracted
    };

    /// The download folder is held under this size, oldest copies first.
    static constexpr qint64 kMaxDownloadCacheBytes = qint64{1} << 30;

    EntryResolver(Config config, const MediaIdentifier& media, TempRegister& temps);

    /// @p entry is a web address.
    static bool isWebAddress(const QString& entry);
    /// @p entry is a web address with no downloaded copy yet: resolve() needs startDownload().
    bool needsDownload(const QString& entry) const;
    /**
     * @brief Starts fetching the web address @p entry into the download folder (proxy and
     *        limits as configured); its finished() says when resolve() has the copy.
     *        Makes room in the download folder first.
     */
    std::unique_ptr<HttpDownloader> startDownload(const QString& entry);
    /// Where the copy of the web address @p entry is kept.
    QString downloadPath(const QString& entry) const;

    /**
     * @brief The local file for @p entry; empty when an archive holds no playable member at
     *        the requested position or cannot be read.
     * @throws DownloadError for a web address not downloaded yet (see needsDownload()).
     * @throws PrivateFolderError when the temporary folder is not private (nothing is written).
     * @throws ExtractLimitError when the member is larger than Config::extractLimitBytes.
     */
    QString resolve(const QString& entry);

    /**
     * @brief Removes the extract folders a run that did not end cleanly left in @p tempFolder:
     *        folders named like extracts and untouched for at least @p minAgeSeconds (another
     *        player of this user may be using younger ones). Links and other files stay.
     * @return how many folders went.
     */
    static int sweepStaleExtracts(const QString& tempFolder, qint64 minAgeSeconds);

    /// The archive path and member number of an archive-member entry ("a.zip2" -> "a.zip", 2).
    static std::pair<QString, int> splitArchiveEntry(const QString& entry);
    /// True when @p path names a file on another machine (a "//host/..." path, or one on an
    /// NFS or SMB mount).
    static bool isNetworkPath(const QString& path);

private:
    QString compressedModule(const QString& entry, const QString& ext);
    QString zipMember(const QString& entry);
    QString lhaMember(const QString& entry);
    /// Extracts member @p index of @p archive (once: a fresh extract is reused) and registers it.
    QString extractMember(const QString& archive, const QList<ArchiveMember>& members,
                          qsizetype index,
                          const std::function<void(qsizetype, const QString&)>& extract);
    QString sharedCopy(const QString& entry);
    /// @throws ExtractLimitError when @p member is over the limit.
    void refuseOverLimit(const ArchiveMember& member) const;
    QString downloaded(const QString& entry);
    /// Removes the oldest copies until the download folder holds at most @p keepBytes.
    void trimDownloads(qint64 keepBytes) const;
    /// Where member @p member (@p storedName) of @p source is extracted under @p name; creates
    /// its folder. @throws PrivateFolderError.
    QString extractPath(const QString& source, qsizetype member, const QString& storedName,
                        const QString& name) const;
    static bool isExtract(const QString& path);

    Config config_;
    const MediaIdentifier& media_;
    TempRegister& temps_;
};

}  // namespace ombrix
