#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/FrameDecoder.h"
#include "layer3/BitReservoir.h"
#include "layer3/HybridFilterbank.h"

namespace ombrix::mp3 {

class HuffmanTables;

/// Decodes MPEG-1 and MPEG-2 (lower sampling frequencies) Layer III frames: side information,
/// bit reservoir, scale factors, Huffman decoding, dequantisation, middle/side and intensity
/// stereo, the equaliser, reordering, alias reduction, IMDCT with overlap, frequency inversion,
/// and hands 18 time slots per granule to each channel's synthesizer.
///
/// Damaged data never leads outside a buffer: a frame whose side information cannot be decoded
/// (window switching with block type 0), or whose main data begins before what the reservoir
/// holds, produces no samples; a Huffman code that leaves its tree silences the rest of the
/// granule, and a part2_3_length beyond the data received silences the granule.
///
/// Thread affinity: the playback thread. Equaliser settings are read once per granule.
class Layer3Decoder final : public FrameDecoder {
public:
    explicit Layer3Decoder(const DecoderContext& context);

    void decodeFrame(Crc16* crc) override;
    /// Clears the overlap buffers and empties the reservoir (after a seek).
    void reset() override;

private:
    struct Granule {
        int part23Length = 0;
        int bigValues = 0;
        int globalGain = 0;
        int scalefacCompress = 0;
        int windowSwitching = 0;
        int blockType = 0;
        int mixedBlock = 0;
        std::array<int, 3> tableSelect{};
        std::array<int, 3> subblockGain{};
        int region0Count = 0;
        int region1Count = 0;
        int preflag = 0;
        int scalefacScale = 0;
        int count1Table = 0;
    };
    struct Scalefactors {
        std::array<int, 23> l{};
        std::array<std::array<int, 3>, 13> s{};
    };

    void buildWindowTables();
    bool readSideInfo();
    void readScalefactors(int gr, int ch);
    void readScalefactorsMpeg2(int ch);
    bool huffmanDecode(int ch, const Granule& g, int64_t end);
    void dequantize(int ch, const Granule& g);
    void stereo(int gr);
    void intensity(int gr, bool ms);
    void synthesize(int ch, const Granule& g);

    bool shortBlocks(const Granule& g) const noexcept {
        return g.windowSwitching && g.blockType == 2;
    }

    DecoderContext context_;
    const HuffmanTables& huffman_;
    int granules_;
    int channels_;
    int rateRow_;
    int mpeg1_;
    int mixedLongBands_;  // long bands below line 36: 8 for MPEG-1, 6 for MPEG-2

    int mainDataBegin_ = 0;
    std::array<std::array<int, 4>, 2> scfsi_{};
    std::array<std::array<Granule, 2>, 2> side_{};  // [granule][channel]
    std::array<Scalefactors, 2> sf_{};
    // Intensity position that marks a band without intensity (7; MPEG-2: the partition's
    // largest value), long and short bands.
    std::array<int, 23> illegalLong_{};
    std::array<int, 13> illegalShort_{};
    std::array<int, 2> nonZeroEnd_{};  // lines after the last Huffman-decoded line, per channel

    alignas(32) std::array<std::array<int, 576>, 2> quantized_{};
    alignas(32) std::array<std::array<float, 576>, 2> spectrum_{};
    alignas(32) std::array<int, 576> isPos_{};  // per line: intensity position or -1

    std::array<HybridFilterbank, 2> filterbank_;
    bool scaledHandOff_ = false;  // the 16-bit path takes the IMDCT output as scaled integers

    BitReservoir reservoir_;
    int64_t frameStart_ = 0;
};

}  // namespace ombrix::mp3
