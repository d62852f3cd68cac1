#include "ombrix/remote/TokenBucket.h"

#include <algorithm>

namespace ombrix {

TokenBucket::TokenBucket(double ratePerSecond, double burst) noexcept
    : rate_(std::max(0.0, ratePerSecond)), burst_(std::max(1.0, burst)), tokens_(burst_) {}

bool TokenBucket::take(qint64 nowMs) noexcept {
    if (lastMs_ >= 0 && nowMs > lastMs_)
        tokens_ = std::min(burst_, tokens_ + rate_ * double(nowMs - lastMs_) / 1000.0);
    if (lastMs_ < 0 || nowMs > lastMs_) lastMs_ = nowMs;
    if (tokens_ < 1.0) return false;
    tokens_ -= 1.0;
    return true;
}

}  // namespace ombrix
