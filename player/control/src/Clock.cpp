#include "ombrix/control/Clock.h"

#include <chrono>

namespace ombrix {
namespace {

qint64 monotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

SystemClock::SystemClock() : origin_(monotonicMs()) {}

qint64 SystemClock::ticks() const {
    return monotonicMs() - origin_;
}

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTime();
}

}  // namespace ombrix
