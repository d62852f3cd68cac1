#pragma once

#include <QString>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

namespace ombrix {

/**
 * @brief A thread of its own that works through playlist entries for the rows on screen: the
 *        newest requests first (the rows the user looks at now), repeated requests merged, and
 *        at most kMaxQueued waiting (older ones are dropped; their rows ask again when shown).
 *
 * Thread affinity: request(), cancelQueued() and the destructor on the owner's thread; the work
 * runs on the worker. The destructor drops what waits and joins the worker, so an owner that
 * declares this member last may use its other members in the work.
 */
class NewestFirstWorker {
public:
    static constexpr std::size_t kMaxQueued = 2048;
    /// Runs on the worker for each entry, with the row it stood in when asked for.
    using Work = std::function<void(const QString& entry, int rowHint)>;

    explicit NewestFirstWorker(Work work);
    ~NewestFirstWorker();
    NewestFirstWorker(const NewestFirstWorker&) = delete;
    NewestFirstWorker& operator=(const NewestFirstWorker&) = delete;

    void request(const QString& entry, int rowHint);
    /// Forgets requests that have not started.
    void cancelQueued();

private:
    struct Job {
        QString entry;
        int rowHint = 0;
    };
    void run();

    Work work_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    std::set<QString> queued_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace ombrix
