#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ombrix::test {

/// How a decoded stream compares with its reference output.
struct ConformanceResult {
    double maxDiff = 0;   ///< largest absolute difference, in 16-bit steps
    double rmsDiff = 0;   ///< RMS difference, in 16-bit steps
    double coverage = 0;  ///< fraction of the reference matched by decoded samples (0..1)
    long offset = 0;      ///< decoded index of reference sample 0, in samples (may be negative)
    size_t compared = 0;  ///< samples compared

    std::string describe() const;
};

/// Aligns `decoded` with `reference` on whole frames and measures the difference. A decoder may
/// skip frames at the start of a Layer III stream (or emit extra ones), so offsets of
/// -maxShift..maxShift frames of `frameSamples` interleaved samples (samplesPerFrame x channels)
/// are tried and the one with the smallest RMS difference over at least half the shorter signal is
/// kept. An empty reference matches an empty decode with coverage 1.
ConformanceResult compareWithReference(const std::vector<int16_t>& decoded,
                                       const std::vector<int16_t>& reference, size_t frameSamples,
                                       int maxShift = 3);

}  // namespace ombrix::test
