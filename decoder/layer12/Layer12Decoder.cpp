#include "layer12/Layer12Decoder.h"

#include "core/FrameHeader.h"
#include "core/FrameReader.h"
#include "layer12/PayloadBits.h"
#include "output/WaveOutput.h"
#include "synthesis/SubbandSynthesizer.h"

namespace ombrix::mp3 {

void Layer12Decoder::decodeFrame(Crc16* crc) {
    const FrameHeader& header = context_.header;
    const FrameLayout layout = FrameLayout::of(header);
    SubbandSynthesizer* left = context_.synth[0];
    SubbandSynthesizer* right = layout.channels == 2 ? context_.synth[1] : nullptr;
    if (layout.layer == 0 || !left || (layout.channels == 2 && !right) || !fitsOutput(layout)) {
        if (crc) crc->reset();  // a skipped frame leaves no bits behind for the next check
        return;
    }

    FrameReader& reader = context_.reader;
    PayloadBits bits(reader.payload(), reader.payloadLength(), reader.bitPosition());
    assignSubbands(layout);
    const int n = layout.sbLimit;
    for (int sb = 0; sb < n; ++sb) subbands_[sb]->readAllocation(bits, layout, crc);
    if (layout.layer == 2) {
        for (int sb = 0; sb < n; ++sb) subbands_[sb]->readScfsi(bits, crc);
    }
    if (crc) {
        const bool intact = crc->value() == header.storedCrc;
        crc->reset();
        if (!intact) {
            ++crcFailures_;
            return;
        }
    }
    for (int sb = 0; sb < n; ++sb) subbands_[sb]->readScaleFactors(bits);

    const int routing = layout.channels == 2 ? 0 : 1;
    float* input0 = left->input.data();
    float* input1 = right ? right->input.data() : nullptr;
    WaveOutput& output = context_.output;
    bool lastGroup = false;
    while (!lastGroup) {
        for (int sb = 0; sb < n; ++sb) lastGroup = subbands_[sb]->readSamples(bits);
        bool groupWritten = false;
        while (!groupWritten) {
            for (int sb = 0; sb < n; ++sb) {
                groupWritten = subbands_[sb]->output(routing, input0, input1);
            }
            // Subbands above the limit carry nothing; written every step because the
            // synthesizer owns its input between steps.
            for (int sb = n; sb < 32; ++sb) {
                input0[sb] = 0.0f;
                if (input1) input1[sb] = 0.0f;
            }
            left->synthesizeFloat(output);
            if (right) right->synthesizeFloat(output);
        }
    }
    output.flush();
}

void Layer12Decoder::assignSubbands(const FrameLayout& layout) noexcept {
    for (int sb = 0; sb < layout.sbLimit; ++sb) {
        const auto i = static_cast<size_t>(sb);
        SubbandDecoder* d;
        if (layout.layer == 1) {
            d = layout.channels == 1  ? static_cast<SubbandDecoder*>(&layer1Mono_[i])
                : sb < layout.jsBound ? static_cast<SubbandDecoder*>(&layer1Stereo_[i])
                                      : static_cast<SubbandDecoder*>(&layer1Intensity_[i]);
        } else {
            d = layout.channels == 1  ? static_cast<SubbandDecoder*>(&layer2Mono_[i])
                : sb < layout.jsBound ? static_cast<SubbandDecoder*>(&layer2Stereo_[i])
                                      : static_cast<SubbandDecoder*>(&layer2Intensity_[i]);
        }
        d->start(sb);
        subbands_[i] = d;
    }
}

bool Layer12Decoder::fitsOutput(const FrameLayout& layout) noexcept {
    WaveOutput& output = context_.output;
    const int64_t perChannel = int64_t{SubbandDecoder::kGroups} * layout.slotsPerGroup * 32;
    const int64_t stride = output.channels();
    for (int ch = 0; ch < layout.channels; ++ch) {
        const int64_t pos = output.writePos(ch);
        if (pos < 0 ||
            pos + (perChannel - 1) * stride >= static_cast<int64_t>(output.accumulatorSize())) {
            return false;
        }
    }
    return layout.channels <= output.channels();
}

}  // namespace ombrix::mp3
