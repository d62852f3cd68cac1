#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "layer3/ImdctKernels.h"

namespace ombrix::mp3 {

struct BandTable;

/// The Layer III hybrid filterbank of one channel: reorders short blocks, reduces aliasing between
/// subbands, runs the IMDCT with the block type's window, overlaps with the previous granule and
/// inverts every other sample of the odd subbands. Its output is the 18 time slots of 32 subband
/// samples that go to the synthesis filterbank.
///
/// Thread affinity: the playback thread.
class HybridFilterbank {
public:
    /// The block layout of one granule.
    struct Blocks {
        bool windowSwitching = false;
        int blockType = 0;  ///< 0 normal, 1 start, 2 short, 3 stop
        bool mixed = false;
    };

    HybridFilterbank();

    /// Scales the windows by SubbandSynthesizer::kIntegerScale (the 16-bit path's integer
    /// hand-off) or by 1.
    void setScale(bool scaled);
    /// Transforms one granule's 576 lines (short blocks in the bitstream's window order) into
    /// out[time slot][subband]. Lines from `activeLines` on are known to be zero, so that the
    /// silent subbands above them need only their overlap.
    void process(const float* spectrum, int activeLines, const BandTable& bands,
                 const Blocks& blocks, float (*out)[32]) noexcept;
    /// Forgets the overlap (after a seek).
    void reset() noexcept;

private:
    std::array<std::array<float, 36>, 4> windows_{};  // by block type; short uses 12 values
    // The IMDCT with its window folded in, by block type: column k holds the 36 outputs' factors
    // of input line k, so the transform is 18 scaled vector additions. The short-block matrix
    // holds the three 12-point transforms at their places.
    alignas(32) std::array<std::array<std::array<float, ImdctKernels::kStride>, 18>, 4> matrix_{};
    ImdctKernels::Kernel imdct_;  // the fastest form the processor runs
    bool scaled_ = false;
    alignas(32) std::array<float, 576> lines_{};
    alignas(32) std::array<std::array<float, 18>, 32> overlap_{};
};

}  // namespace ombrix::mp3
