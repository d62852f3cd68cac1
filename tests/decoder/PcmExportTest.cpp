// Decoding to PCM through the exported interface, apart from the library's one playback.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "DecodeSupport.h"
#include "mp3.h"

namespace ombrix::test {
namespace {

struct Collected {
    std::vector<int16_t> samples;
    int32_t channels = 0, rate = 0, blocks = 0;
    int32_t stopAfter = -1;  // blocks; -1 never
};

int32_t collect(void* context, int32_t channels, int32_t rate, const int16_t* samples,
                int32_t count) {
    auto& c = *static_cast<Collected*>(context);
    c.channels = channels;
    c.rate = rate;
    c.samples.insert(c.samples.end(), samples, samples + count);
    return ++c.blocks == c.stopAfter ? 0 : 1;
}

TEST(PcmExportTest, DecodesTheSongsSamplesOnAnyNumberOfThreadsAndStopsWhenAsked) {
    TempDir dir;
    writeSineWav(dir / "s.wav", 44100, 2, 2.0, 440, 660);
    const std::string song = (dir / "s.mp3").string();
    encodeMp3(dir / "s.wav", song, "-b 128");

    Collected a, b;
    int32_t ra = 0, rb = 0;
    std::thread other([&] { rb = OmbrixDecodePcm(song.c_str(), 0, &collect, &b); });
    ra = OmbrixDecodePcm(song.c_str(), 0, &collect, &a);
    other.join();
    EXPECT_EQ(ra, 1);
    EXPECT_EQ(rb, 1);
    EXPECT_EQ(a.channels, 2);
    EXPECT_EQ(a.rate, 44100);
    EXPECT_EQ(a.samples.size(), 2u * 2 * 44100) << "the source's samples, no delay or padding";
    EXPECT_EQ(a.samples, b.samples) << "two decodings at once do not disturb each other";

    Collected first;
    first.stopAfter = 1;
    EXPECT_EQ(OmbrixDecodePcm(song.c_str(), 0, &collect, &first), 0);
    EXPECT_EQ(first.blocks, 1);

    writeFile(dir / "junk.mp3", std::vector<uint8_t>(4000, 0x11));
    Collected none;
    EXPECT_EQ(OmbrixDecodePcm((dir / "junk.mp3").string().c_str(), 0, &collect, &none), -1);
    EXPECT_EQ(OmbrixDecodePcm(nullptr, 0, &collect, &none), -1);
    EXPECT_EQ(OmbrixDecodePcm(song.c_str(), 0, nullptr, nullptr), -1);
    EXPECT_TRUE(none.samples.empty());
}

}  // namespace
}  // namespace ombrix::test
