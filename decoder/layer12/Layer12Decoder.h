#pragma once

#include <array>

#include "core/FrameDecoder.h"
#include "layer12/FrameLayout.h"
#include "layer12/Layer1IntensitySubband.h"
#include "layer12/Layer1MonoSubband.h"
#include "layer12/Layer1StereoSubband.h"
#include "layer12/Layer2IntensitySubband.h"
#include "layer12/Layer2MonoSubband.h"
#include "layer12/Layer2StereoSubband.h"

namespace ombrix::mp3 {

/// Decodes Layer I and Layer II frames (MPEG-1, and MPEG-2 at the lower sampling frequencies)
/// through one SubbandDecoder per coded subband. The subband objects belong to the decoder and
/// are re-initialised for every frame, so decoding allocates nothing.
///
/// A protected frame whose CRC over header, allocation and scale-factor selection does not match
/// produces no samples and no flush. Frames of other layers, and frames that would not fit into
/// the output's accumulator (a layer change in mid-stream), are skipped likewise.
///
/// Thread affinity: the playback thread.
class Layer12Decoder final : public FrameDecoder {
public:
    explicit Layer12Decoder(const DecoderContext& context) : context_(context) {}

    void decodeFrame(Crc16* crc) override;
    void reset() override {}

    /// Frames dropped because their CRC did not match, since creation.
    int crcFailures() const noexcept { return crcFailures_; }

private:
    void assignSubbands(const FrameLayout& layout) noexcept;
    bool fitsOutput(const FrameLayout& layout) noexcept;

    DecoderContext context_;
    std::array<Layer1MonoSubband, 32> layer1Mono_;
    std::array<Layer1StereoSubband, 32> layer1Stereo_;
    std::array<Layer1IntensitySubband, 32> layer1Intensity_;
    std::array<Layer2MonoSubband, 32> layer2Mono_;
    std::array<Layer2StereoSubband, 32> layer2Stereo_;
    std::array<Layer2IntensitySubband, 32> layer2Intensity_;
    std::array<SubbandDecoder*, 32> subbands_{};
    int crcFailures_ = 0;
};

}  // namespace ombrix::mp3
