// Output levels for the mixer, the real ALSA mixer on a machine without a card, hot-key texts.
#include <gtest/gtest.h>

#include "ombrix/control/FakeMixer.h"
#include "ombrix/control/OutputLevel.h"
#include "ombrix/desktop/AlsaMixer.h"
#include "ombrix/desktop/GlobalHotKeys.h"
#include "ombrix/desktop/HotKeySequence.h"

namespace ombrix::test {
namespace {

TEST(OutputLevelTest, PanScalesTheOtherSideAndRoundsDownToThirtyTwo) {
    using P = std::pair<int, int>;
    EXPECT_EQ(OutputLevel::channels(100, 0), P(51200, 51200));
    EXPECT_EQ(OutputLevel::channels(127, 0), P(65024, 65024));
    EXPECT_EQ(OutputLevel::channels(0, 64), P(0, 0));
    EXPECT_EQ(OutputLevel::channels(100, 64), P(25600, 51200)) << "right pan lowers the left";
    EXPECT_EQ(OutputLevel::channels(100, -64), P(51200, 25600));
    EXPECT_EQ(OutputLevel::channels(100, -128), P(51200, 0));
    EXPECT_EQ(OutputLevel::channels(300, 500), P(0, 65024)) << "clamped";
    EXPECT_EQ(OutputLevel::roundedPan(45), 32);
    EXPECT_EQ(OutputLevel::roundedPan(-1), -32);
    EXPECT_EQ(OutputLevel::volumeFromMixer(51200, 25600), 100);

    FakeMixer mono;
    mono.devices = 1;
    mono.lineChannels = 1;
    mono.open(0, 0, 0);
    OutputLevel::apply(mono, 100, 70);
    EXPECT_EQ(mono.calls.back(), P(51200, 51200)) << "a mono line takes no pan";
    FakeMixer stereo;
    stereo.devices = 1;
    stereo.open(0, 0, 0);
    OutputLevel::apply(stereo, 100, 70);  // 70 -> 64
    EXPECT_EQ(stereo.calls.back(), P(25600, 51200));
}

TEST(AlsaMixerTest, NoUsableCardMeansNoMixerAndNoFailure) {
    AlsaMixer mixer;
    if (mixer.deviceCount() > 0) GTEST_SKIP() << "this machine has a sound card";
    EXPECT_FALSE(mixer.open(0, 0, 0));
    EXPECT_FALSE(mixer.isOpen());
    EXPECT_EQ(mixer.channels(), 0);
    mixer.setVolume(100, 100);  // ignored
    EXPECT_EQ(mixer.volume(), std::make_pair(0, 0));
}

TEST(HotKeyTest, SequencesParseAndOffscreenSessionsSayWhyThereAreNone) {
    const auto a = HotKeySequence::parse("SHIFT+CTRL+U");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->modifiers, HotKeySequence::kShift | HotKeySequence::kCtrl);
    EXPECT_EQ(a->key, "U");
    EXPECT_EQ(HotKeySequence::parse("alt+f5")->key, "F5");
    EXPECT_EQ(HotKeySequence::parse("Win+HOME")->key, "Home");
    EXPECT_FALSE(HotKeySequence::parse(""));
    EXPECT_FALSE(HotKeySequence::parse("CTRL+"));
    EXPECT_FALSE(HotKeySequence::parse("HYPER+X"));

    const auto keys = GlobalHotKeys::create();
    EXPECT_FALSE(keys->available());
    EXPECT_TRUE(keys->unavailableReason().contains("not available"));
    EXPECT_FALSE(keys->registerKey(1, "SHIFT+CTRL+U"));
}

}  // namespace
}  // namespace ombrix::test
