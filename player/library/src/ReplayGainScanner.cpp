#include "ombrix/library/ReplayGainScanner.h"

#include <pthread.h>
#include <sched.h>

#include <QElapsedTimer>
#include <QMetaObject>

#include "ombrix/library/LoudnessScan.h"

namespace ombrix {
namespace {

// Measuring is never urgent: the worker runs only when nothing else wants the processor.
void lowestPriority() {
    sched_param param{};
    param.sched_priority = 0;
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
}

}  // namespace

ReplayGainScanner::ReplayGainScanner(const QString& cacheFile, QObject* parent)
    : QObject(parent), cache_(cacheFile) {
    thread_ = std::thread([this] { run(); });
}

ReplayGainScanner::~ReplayGainScanner() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
        queued_.clear();
    }
    wake_.notify_all();
    thread_.join();
    if (cache_.dirty()) cache_.save();
}

std::optional<ReplayGainValues> ReplayGainScanner::known(const QString& file) const {
    const auto key = ReplayGainCache::keyOf(file);
    if (!key) return std::nullopt;
    const auto entry = cache_.find(*key);
    if (!entry || entry->failed) return std::nullopt;
    ReplayGainValues values;
    values.trackGain = entry->gainDb;
    if (entry->peak > 0.0) values.trackPeak = entry->peak;
    return values;
}

void ReplayGainScanner::request(const QString& file) {
    if (file.isEmpty()) return;
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || !queued_.insert(file).second) return;
        queue_.push_back(file);
        if (queue_.size() > kMaxQueued) {
            queued_.erase(queue_.front());
            queue_.pop_front();
        }
    }
    wake_.notify_one();
}

void ReplayGainScanner::run() {
    lowestPriority();
    cache_.load();
    QElapsedTimer sinceSave;
    sinceSave.start();
    for (;;) {
        QString file;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            file = std::move(queue_.back());  // the newest first: the song about to play
            queue_.pop_back();
            queued_.erase(file);
        }
        measure(file);
        if (cache_.dirty() && sinceSave.elapsed() >= kSaveIntervalMs) {
            cache_.save();
            sinceSave.restart();
        }
    }
}

void ReplayGainScanner::measure(const QString& file) {
    const auto key = ReplayGainCache::keyOf(file);
    if (key && !cache_.find(*key)) {
        const LoudnessScan::Result r = LoudnessScan::scan(file, &stopping_);
        if (r.status == LoudnessScan::Result::Status::Stopped) return;
        ReplayGainCache::Entry entry;
        entry.failed = r.status != LoudnessScan::Result::Status::Measured;
        entry.gainDb = r.gainDb;
        entry.peak = r.peak;
        // A file that changed while it was measured is measured again next time.
        if (const auto after = ReplayGainCache::keyOf(file);
            after && after->size == key->size && after->modifiedMs == key->modifiedMs)
            cache_.store(*key, entry);
    }
    QMetaObject::invokeMethod(this, [this, file] { emit scanned(file); }, Qt::QueuedConnection);
}

}  // namespace ombrix
