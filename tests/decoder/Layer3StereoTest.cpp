#include <gtest/gtest.h>

#include <string>

#include "DecodeSupport.h"

using namespace ombrix::test;

// Plain stereo, joint stereo (middle/side) and MPEG-2 stereo made by lame, checked against mpg123
// run as a reference decoder.
TEST(Layer3Stereo, EncodedStereoModesMatchAReferenceDecoder) {
    struct Case {
        const char* label;
        int rate;
        const char* lameArguments;
        int samplesPerFrame;
    };
    TempDir dir;
    for (const Case& c :
         {Case{"stereo", 44100, "-m s -b 160", 1152}, Case{"joint", 48000, "-m j -b 96", 1152},
          Case{"mpeg2-joint", 22050, "-m j -b 48", 576}}) {
        writeSineWav(dir / "in.wav", c.rate, 2, 1.5, 440.0, 1250.0, 0.6);
        encodeMp3(dir / "in.wav", dir / "in.mp3", c.lameArguments);
        // Raw 16-bit output in the stream's own rate and channels.
        // mpg123 leaves out the encoder delay and padding of the LAME tag, as this decoder does.
        runTool("mpg123 -q -O '" + (dir / "ref.pcm").string() + "' '" + (dir / "in.mp3").string() +
                "'");
        const DecodedPcm decoded = decodeFile((dir / "in.mp3").string());
        ASSERT_EQ(decoded.channels, 2) << c.label;
        expectConforms(compareWithReference(decoded.samples, readPcm(dir / "ref.pcm"),
                                            static_cast<size_t>(2 * c.samplesPerFrame)),
                       2, 0.5, c.label);
    }
}
