#pragma once

#include <QDateTime>
#include <QtGlobal>

namespace ombrix {

/**
 * @brief The controller's sense of time: a millisecond tick count for durations and the wall
 *        clock for the alarm. Tests substitute a clock they advance by hand.
 *
 * Thread affinity: main thread.
 */
class Clock {
public:
    virtual ~Clock() = default;
    /// Milliseconds since an arbitrary start; never goes backwards.
    virtual qint64 ticks() const = 0;
    /// Local date and time.
    virtual QDateTime now() const = 0;
};

/// The system's monotonic clock and local time.
class SystemClock final : public Clock {
public:
    SystemClock();
    qint64 ticks() const override;
    QDateTime now() const override;

private:
    qint64 origin_;
};

}  // namespace ombrix
