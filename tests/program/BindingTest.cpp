// The playback thread object over the real decoder library.
#include <gtest/gtest.h>

#include <atomic>

#include "ProgramSupport.h"
#include "ombrix/control/SongPlayback.h"

namespace ombrix::test {
namespace {

TEST(BindingTest, FinishedFlagIsSetOnlyWhenTheSongEndsByItself) {
    if (!media().ok()) GTEST_SKIP() << "lame is needed to make test songs";
    std::atomic<bool> finished{false};
    {
        SongPlayback player(&finished);
        player.fileName = media().mp3Short;
        player.noOutput = true;  // decodes as fast as it can
        player.start();
        ASSERT_TRUE(waitFor([&] { return finished.load(); }));
        EXPECT_EQ(player.result(), 1);
    }
    finished = false;
    {
        SongPlayback player(&finished);
        player.fileName = media().mp3Long;
        player.start();
        ASSERT_TRUE(waitFor([&] { return player.busy(); }));
        player.stop();
        EXPECT_FALSE(player.busy());
    }
    EXPECT_FALSE(finished.load()) << "a stopped song never counts as finished";

    // A stop that comes before the thread has begun playing still ends it at once.
    SongPlayback early(&finished);
    early.fileName = media().mp3Long;
    early.start();
    early.stop();
    EXPECT_FALSE(finished.load());
}

TEST(BindingTest, DecoderErrorsReachTheSinkAndStillFinishTheSong) {
    if (!media().ok()) GTEST_SKIP() << "lame is needed to make test songs";
    const QString junk = media().folder + "/no-frame.mp3";
    writeBytes(junk, QByteArray(4096, 'z'));
    std::atomic<bool> finished{false};
    std::atomic<int> error{1};
    {
        SongPlayback player(&finished);
        player.fileName = junk;
        player.errorSink = [&](int32_t r) { error = r; };
        player.start();
        ASSERT_TRUE(waitFor([&] { return finished.load(); }));
    }
    EXPECT_EQ(error.load(), -1);

    finished = false;
    error = 1;
    SongPlayback busy(&finished);
    busy.fileName = media().mp3Short;
    busy.waveOutId = 99;  // no such device
    busy.errorSink = [&](int32_t r) { error = r; };
    busy.start();
    ASSERT_TRUE(waitFor([&] { return finished.load(); }));
    EXPECT_EQ(error.load(), 0);
}

}  // namespace
}  // namespace ombrix::test
