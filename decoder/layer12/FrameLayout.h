#pragma once

namespace ombrix::mp3 {

struct AllocationTable;
struct FrameHeader;

/// How a Layer I or Layer II frame is coded: the layer, the channels, the subbands carried and
/// where joint stereo starts sharing samples, with the Layer II allocation table.
struct FrameLayout {
    int layer = 1;
    int channels = 2;
    int sbLimit = 32;
    int jsBound = 32;  ///< first shared subband; sbLimit when nothing is shared
    int slotsPerGroup = 1;
    const AllocationTable* table = nullptr;  ///< Layer II only

    /// The layout of the frame whose header is in hand. Layers other than I and II give layer 0.
    static FrameLayout of(const FrameHeader& header) noexcept;
};

}  // namespace ombrix::mp3
