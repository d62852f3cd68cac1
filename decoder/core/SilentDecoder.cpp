#include "core/SilentDecoder.h"

#include "core/FrameHeader.h"
#include "output/WaveOutput.h"
#include "synthesis/SubbandSynthesizer.h"

namespace ombrix::mp3 {

void SilentDecoder::decodeFrame(Crc16*) {
    const int slots = context_.header.samplesPerFrame() / 32;
    for (int slot = 0; slot < slots; ++slot) {
        for (SubbandSynthesizer* synth : context_.synth) {
            if (!synth) continue;
            synth->input.fill(0.0f);
            synth->synthesizeFloat(context_.output);
        }
    }
    context_.output.flush();
}

}  // namespace ombrix::mp3
