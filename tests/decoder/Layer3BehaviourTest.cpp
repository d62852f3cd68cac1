#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "DecodeSupport.h"

using namespace ombrix::test;

namespace {

std::string stream(const char* name) {
    return (testdataDir() / (std::string(name) + ".bit")).string();
}

}  // namespace

TEST(Layer3Equaliser, ZeroGainsSilenceAndUnitGainsChangeNothing) {
    DecodeOptions plain;
    DecodeOptions unit;
    unit.eqEnabled = true;
    unit.eqGain = 1.0f;
    DecodeOptions zero;
    zero.eqEnabled = true;
    zero.eqGain = 0.0f;
    const DecodedPcm a = decodeFile(stream("l3-compl"), plain);
    const DecodedPcm b = decodeFile(stream("l3-compl"), unit);
    const DecodedPcm c = decodeFile(stream("l3-compl"), zero);
    ASSERT_FALSE(a.samples.empty());
    EXPECT_EQ(a.samples, b.samples);
    ASSERT_EQ(c.samples.size(), a.samples.size());
    EXPECT_TRUE(std::all_of(c.samples.begin(), c.samples.end(), [](int16_t s) { return s == 0; }));
}

TEST(Layer3Volume, ZeroIsSilentAndDoubleVolumeDoublesAndClips) {
    DecodeOptions nominal;
    DecodeOptions silent;
    silent.volume = 0;
    DecodeOptions loud;
    loud.volume = 65536;
    const DecodedPcm a = decodeFile(stream("l3-sin1k0db"), nominal);
    const DecodedPcm s = decodeFile(stream("l3-sin1k0db"), silent);
    const DecodedPcm d = decodeFile(stream("l3-sin1k0db"), loud);
    ASSERT_EQ(a.samples.size(), d.samples.size());
    EXPECT_TRUE(std::all_of(s.samples.begin(), s.samples.end(), [](int16_t v) { return v == 0; }));
    size_t clipped = 0;
    for (size_t i = 0; i < a.samples.size(); ++i) {
        const int expected = std::clamp(2 * a.samples[i], -32768, 32767);
        ASSERT_LE(std::abs(d.samples[i] - expected), 2) << i;
        if (d.samples[i] == 32767 || d.samples[i] == -32768) ++clipped;
    }
    EXPECT_GT(clipped, a.samples.size() / 10);  // a 0 dB sine doubled clips often
}

TEST(Layer3Paths, MmxStaysWithinAFewStepsOfFloat) {
    DecodeOptions mmx;
    mmx.path = DecodePath::Mmx;
    const DecodedPcm f = decodeFile(stream("l3-si"));
    const DecodedPcm m = decodeFile(stream("l3-si"), mmx);
    ASSERT_EQ(f.samples.size(), m.samples.size());
    int worst = 0;
    for (size_t i = 0; i < f.samples.size(); ++i)
        worst = std::max(worst, std::abs(f.samples[i] - m.samples[i]));
    EXPECT_LE(worst, 32);
}
