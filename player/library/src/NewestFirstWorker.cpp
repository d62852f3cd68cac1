#include "ombrix/library/NewestFirstWorker.h"

namespace ombrix {

NewestFirstWorker::NewestFirstWorker(Work work) : work_(std::move(work)) {
    thread_ = std::thread([this] { run(); });
}

NewestFirstWorker::~NewestFirstWorker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

void NewestFirstWorker::request(const QString& entry, int rowHint) {
    {
        std::lock_guard lock(mutex_);
        if (!queued_.insert(entry).second) return;
        queue_.push_back({entry, rowHint});
        if (queue_.size() > kMaxQueued) {
            queued_.erase(queue_.front().entry);
            queue_.pop_front();
        }
    }
    wake_.notify_one();
}

void NewestFirstWorker::cancelQueued() {
    std::lock_guard lock(mutex_);
    queue_.clear();
    queued_.clear();
}

void NewestFirstWorker::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            job = std::move(queue_.back());  // the newest first
            queue_.pop_back();
            queued_.erase(job.entry);
        }
        work_(job.entry, job.rowHint);
    }
}

}  // namespace ombrix
