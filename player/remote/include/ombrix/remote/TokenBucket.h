#pragma once

#include <QtGlobal>

namespace ombrix {

/**
 * @brief A token bucket: at most burst() actions at once, then ratePerSecond() a second on
 *        average. Time is given by the caller in milliseconds, so any clock can drive it.
 *
 * Thread affinity: one thread at a time. Does not throw.
 */
class TokenBucket {
public:
    /// Starts full. A rate of 0 never refills.
    TokenBucket(double ratePerSecond, double burst) noexcept;

    /// Takes one token at @p nowMs (a clock that never goes back); false when none is left.
    bool take(qint64 nowMs) noexcept;

    double ratePerSecond() const noexcept { return rate_; }
    double burst() const noexcept { return burst_; }

private:
    double rate_;
    double burst_;
    double tokens_;
    qint64 lastMs_ = -1;
};

}  // namespace ombrix
