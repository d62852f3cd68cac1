#include "ConformanceSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace ombrix::test {

std::string ConformanceResult::describe() const {
    char text[160];
    std::snprintf(text, sizeof text, "max %.0f, rms %.4f, coverage %.1f%%, offset %ld, %zu samples",
                  maxDiff, rmsDiff, coverage * 100.0, offset, compared);
    return text;
}

namespace {

ConformanceResult measure(const std::vector<int16_t>& decoded,
                          const std::vector<int16_t>& reference, long offset) {
    // decoded[i + offset] is compared with reference[i].
    const long refBegin = std::max<long>(0, -offset);
    const long refEnd = std::min<long>(static_cast<long>(reference.size()),
                                       static_cast<long>(decoded.size()) - offset);
    ConformanceResult r;
    r.offset = offset;
    if (refEnd <= refBegin) return r;
    double sum = 0;
    int maxDiff = 0;
    for (long i = refBegin; i < refEnd; ++i) {
        const int d = std::abs(static_cast<int>(decoded[static_cast<size_t>(i + offset)]) -
                               reference[static_cast<size_t>(i)]);
        maxDiff = std::max(maxDiff, d);
        sum += static_cast<double>(d) * d;
    }
    r.compared = static_cast<size_t>(refEnd - refBegin);
    r.maxDiff = maxDiff;
    r.rmsDiff = std::sqrt(sum / static_cast<double>(r.compared));
    r.coverage = static_cast<double>(r.compared) / static_cast<double>(reference.size());
    return r;
}

}  // namespace

ConformanceResult compareWithReference(const std::vector<int16_t>& decoded,
                                       const std::vector<int16_t>& reference, size_t frameSamples,
                                       int maxShift) {
    if (reference.empty()) {
        ConformanceResult r;
        r.coverage = 1.0;
        r.maxDiff = decoded.empty() ? 0.0 : 32768.0;
        return r;
    }
    const size_t shorter = std::min(decoded.size(), reference.size());
    ConformanceResult best;
    bool found = false;
    for (int shift = -maxShift; shift <= maxShift; ++shift) {
        const long offset = static_cast<long>(shift) * static_cast<long>(frameSamples);
        ConformanceResult r = measure(decoded, reference, offset);
        if (r.compared == 0 || r.compared * 2 < shorter) continue;
        if (!found || r.rmsDiff < best.rmsDiff) {
            best = r;
            found = true;
        }
    }
    if (!found) {
        best = ConformanceResult{};
        best.maxDiff = 32768.0;
        best.rmsDiff = 32768.0;
    }
    return best;
}

}  // namespace ombrix::test
