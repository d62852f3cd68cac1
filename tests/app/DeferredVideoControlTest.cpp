// The video module is loaded when a file first needs it; a missing module refuses the file with
// a status text, and errors raised inside the module reach the program as media errors.
#include <gtest/gtest.h>

#include "ombrix/app/DeferredVideoControl.h"

namespace ombrix::test {
namespace {

TEST(DeferredVideoControl, LoadsItsModuleOnFirstUseAndFailsClearlyWithoutIt) {
    MediaControl::Options options;
    DeferredVideoControl missing(QStringLiteral(OMBRIX_BUILD_DIR "/lib/ombrix/none.so"));
    EXPECT_TRUE(missing.canPlay("/videos/a.mkv"));
    EXPECT_FALSE(missing.canPlay("/dev/sr0/track01.cda"));
    try {
        missing.open("/videos/a.mkv", options);
        ADD_FAILURE() << "opened without a module";
    } catch (const MediaError& e) {
        EXPECT_STREQ(e.what(), "no player for video files");
    }
    EXPECT_EQ(missing.mode(), MediaControl::Mode::NotReady);
    EXPECT_EQ(missing.positionMs(), 0);

    DeferredVideoControl video(QStringLiteral(OMBRIX_BUILD_DIR "/lib/ombrix/libombrix_video.so"));
    EXPECT_FALSE(video.loaded()) << "nothing is loaded before a video plays";
    EXPECT_THROW(video.open("/no/such/film.avi", options), MediaError);
    EXPECT_TRUE(video.loaded());
    EXPECT_EQ(video.mode(), MediaControl::Mode::NotReady);
}

}  // namespace
}  // namespace ombrix::test
