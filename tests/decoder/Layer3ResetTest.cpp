#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DecodeSupport.h"
#include "core/DecoderSettings.h"
#include "core/FrameDecoder.h"
#include "core/FrameHeader.h"
#include "core/FrameReader.h"
#include "layer3/Layer3Decoder.h"
#include "output/WaveOutput.h"
#include "synthesis/SubbandSynthesizer.h"

using namespace ombrix::mp3;
using namespace ombrix::test;

namespace {

std::vector<int16_t>& captured() {
    static thread_local std::vector<int16_t> samples;
    return samples;
}

void capture(int16_t* samples, int32_t count, int) {
    captured().insert(captured().end(), samples, samples + count);
}

// l3-compl: 48 kHz, 64 kbit/s, no padding: every frame is 192 bytes.
constexpr int kFrameBytes = 192;

std::string compl3() {
    return bitstream("l3-compl");
}

int mainDataBegin(const std::vector<uint8_t>& file, int frame) {
    const size_t at = static_cast<size_t>(frame * kFrameBytes) + 4;
    return (file[at] << 1) | (file[at + 1] >> 7);
}

}  // namespace

TEST(Layer3Reset, AfterAResetFramesWaitForTheReservoirAndNothingStaleIsHeard) {
    const std::vector<uint8_t> file = readBytes(compl3());

    // Continuous decoding up to frame 39, then a reset as after a seek, then frames 40 on.
    constexpr int kResetAfter = 39;
    FrameReader reader(compl3(), 0);
    FrameHeader header;
    ASSERT_TRUE(reader.readFrame(header));
    DecoderSettings settings;
    settings.setVolume(32768);
    WaveOutput output(nullptr, PcmFormat{header.channels(), header.samplingRate()},
                      header.samplesPerFrame(), 1, false, &capture);
    SubbandSynthesizer synth(0, settings);
    Layer3Decoder decoder(DecoderContext{reader, header, {&synth, nullptr}, output, settings});
    captured().clear();
    size_t beforeReset = 0;
    do {
        decoder.decodeFrame(nullptr);
        if (reader.frameIndex() == kResetAfter) {
            beforeReset = captured().size();
            decoder.reset();
            synth.reset();
            output.reset();
        }
    } while (reader.readFrame(header));
    const std::vector<int16_t> afterReset(
        captured().begin() + static_cast<std::ptrdiff_t>(beforeReset), captured().end());
    EXPECT_EQ(beforeReset, static_cast<size_t>(kResetAfter + 1) * 1152);

    // A fresh playback from frame 40 starts with the same empty state: same samples.
    const DecodedPcm fresh = decodeFile(compl3(), {.startOffset = (kResetAfter + 1) * kFrameBytes});
    ASSERT_EQ(fresh.samples.size(), afterReset.size());
    EXPECT_EQ(fresh.samples, afterReset);

    // Frames whose main data begins before the reset produced nothing.
    int skipped = 0;
    int stored = 0;
    for (int f = kResetAfter + 1; f < kResetAfter + 10; ++f) {
        if (mainDataBegin(file, f) > stored)
            ++skipped;
        else
            break;
        stored += kFrameBytes - 4 - 17;
    }
    EXPECT_GT(skipped, 0);  // this stream borrows heavily from earlier frames
    const size_t frames = file.size() / kFrameBytes;
    EXPECT_EQ(afterReset.size(), (frames - kResetAfter - 1 - static_cast<size_t>(skipped)) * 1152);
}
