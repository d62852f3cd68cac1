#pragma once

#include <cmath>
#include <cstdint>

namespace ombrix::mp3 {

/// Converts to int32 with the value held to the type's range and NaN taken as 0: positions
/// and lengths computed in floating point from header fields can lie far outside it, and a
/// plain conversion of such a value is undefined.
inline int32_t saturatingInt32(double v) noexcept {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

}  // namespace ombrix::mp3
