#pragma once

#include <chrono>

namespace ombrix {

/// What one remote-control session may cost; tests shorten the times.
struct TelnetLimits {
    /// A session in which no line was completed for this long is closed.
    std::chrono::milliseconds idleTimeout = std::chrono::minutes(10);
    /// A session whose waiting output has not moved for this long (its client does not read)
    /// is dropped.
    std::chrono::milliseconds sendTimeout = std::chrono::seconds(60);
    /// Commands a session may run: a burst of this many, ...
    double commandBurst = 40;
    /// ... then this many a second on average; the rest are answered "too many commands".
    double commandsPerSecond = 10;
};

}  // namespace ombrix
