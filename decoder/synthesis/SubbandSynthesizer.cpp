#include "synthesis/SubbandSynthesizer.h"

#include "core/DecoderSettings.h"
#include "output/WaveOutput.h"

namespace ombrix::mp3 {

SubbandSynthesizer::SubbandSynthesizer(int channel, const DecoderSettings& settings)
    : channel_(channel), settings_(settings) {}

// Placeholder filterbank: silence at the right positions.
void SubbandSynthesizer::synthesizeFloat(WaveOutput& output) {
    const int channels = output.channels();
    int32_t& pos = output.writePos(channel_);
    int32_t* acc = output.accumulator();
    for (int i = 0; i < 32; ++i) acc[pos + i * channels] = 0;
    pos += 32 * channels;
    phase_ = (phase_ + 1) & 15;
}

void SubbandSynthesizer::synthesizeInt(WaveOutput& output) { synthesizeFloat(output); }

void SubbandSynthesizer::reset() noexcept {
    input.fill(0);
    inputInt.fill(0);
    floatHistory_.fill(0);
    intHistory_.fill(0);
    bank_ = 0;
    phase_ = 15;
}

void buildSynthesisWindow(int32_t, bool mmx, SynthesisWindow& out) {
    out.floats.fill(0);
    if (mmx) {
        out.mmx.fill(0);
        out.mmxBuilt = true;
    }
}

}  // namespace ombrix::mp3
