#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "ombrix/library/ReplayGain.h"
#include "ombrix/library/ReplayGainCache.h"

namespace ombrix {

/**
 * @brief Measures, in the background, the loudness of songs that have no loudness tags, and
 *        remembers the results in a cache file so that each file is measured once.
 *
 * One worker thread at the system's idle priority measures one file at a time, the newest
 * request first; at most kMaxQueued requests wait (the oldest are dropped). Files the cache
 * knows, measured or failed, are not measured again. The cache file is read on the worker
 * before the first request and written at most every kSaveIntervalMs while results come in,
 * and when the scanner goes away. The destructor stops a measurement in progress.
 * Thread affinity: construction, known(), request() and the destructor on the owner's thread;
 * scanned() is emitted there.
 */
class ReplayGainScanner : public QObject {
    Q_OBJECT
public:
    static constexpr size_t kMaxQueued = 256;
    static constexpr qint64 kSaveIntervalMs = 30000;

    /// @param cacheFile the cache file (ReplayGainCache::kFileName in the player's home).
    explicit ReplayGainScanner(const QString& cacheFile, QObject* parent = nullptr);
    ~ReplayGainScanner() override;
    ReplayGainScanner(const ReplayGainScanner&) = delete;
    ReplayGainScanner& operator=(const ReplayGainScanner&) = delete;

    /// The measured values of @p file as it is now (track gain and peak), or nullopt when it has
    /// not been measured (or could not be). Reads the file's size and time, nothing more.
    std::optional<ReplayGainValues> known(const QString& file) const;
    /// Asks for @p file to be measured unless the cache knows it; repeated requests merge.
    void request(const QString& file);

signals:
    /// @p file (as requested) has been measured, or found not measurable.
    void scanned(const QString& file);

private:
    void run();
    void measure(const QString& file);

    ReplayGainCache cache_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<QString> queue_;
    std::set<QString> queued_;
    std::thread thread_;  // last: started when everything it uses is there
};

}  // namespace ombrix
