// Video files play through Qt Multimedia in a window of their own, with the media control's
// contract: stopped after opening, the length once known, pause and seek, stopped at the end
// with the position at the length. Broken files stop by themselves with a status text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVideoWidget>

#include "ombrix/media/MediaControlRouter.h"
#include "ombrix/media/PcmMediaControl.h"
#include "ombrix/windows/video/VideoMediaControl.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

using Mode = MediaControl::Mode;

class VideoMediaControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("ffmpeg").isEmpty()) GTEST_SKIP() << "ffmpeg missing";
    }
    /// A file made by ffmpeg from its test sources: @p inputs, @p seconds long.
    QString make(const QString& name, const QStringList& inputs, double seconds) {
        const QString path = dir.filePath(name);
        QStringList args{"-v", "error", "-y"};
        args << inputs << "-t" << QString::number(seconds) << path;
        EXPECT_EQ(QProcess::execute("ffmpeg", args), 0) << name.toStdString();
        return path;
    }
    QString movie(double seconds) {
        return make("movie.avi",
                    {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10", "-f", "lavfi", "-i",
                     "sine=frequency=440", "-c:v", "mjpeg", "-c:a", "pcm_s16le"},
                    seconds);
    }
    static bool settle(const std::function<bool()>& done, int ms = 15000) {
        return waitFor(
            [&] {
                QApplication::processEvents();
                return done();
            },
            ms);
    }

    QTemporaryDir dir;
    VideoMediaControl video;
    MediaControl::Options options;
};

TEST_F(VideoMediaControlTest, AVideoPlaysToItsEndInItsOwnWindow) {
    const QString file = movie(2.0);
    video.open(file, options);
    EXPECT_EQ(video.mode(), Mode::Stopped);
    EXPECT_EQ(video.positionMs(), 0);
    video.play();
    ASSERT_TRUE(settle([&] { return video.window()->isVisible(); })) << "the picture is shown";
    EXPECT_EQ(video.window()->windowTitle(), "movie.avi");
    EXPECT_TRUE(settle([&] { return video.window()->size() == QSize(160, 120); }))
        << "the picture's own size";
    ASSERT_TRUE(settle([&] { return video.lengthMs() > 0; })) << "the length once loaded";
    EXPECT_NEAR(video.lengthMs(), 2000, 50);
    ASSERT_TRUE(settle([&] { return video.positionMs() >= 300; }));

    video.pause();
    settle([&] { return false; }, 300);
    EXPECT_EQ(video.mode(), Mode::Paused);
    const int held = video.positionMs();
    settle([&] { return false; }, 300);
    EXPECT_EQ(video.positionMs(), held);
    video.resume();
    EXPECT_EQ(video.mode(), Mode::Playing);

    video.seek(1500);
    ASSERT_TRUE(settle([&] { return video.mode() == Mode::Stopped; }));
    EXPECT_TRUE(video.failure().isEmpty());
    EXPECT_EQ(video.positionMs(), video.lengthMs());
    EXPECT_FALSE(video.window()->isVisible()) << "the window goes with the song";

    // Played again after its end, it starts from the beginning; closing the window stops it.
    video.play();
    ASSERT_TRUE(settle([&] { return video.window()->isVisible(); }));
    EXPECT_LT(video.positionMs(), 1500);
    video.window()->close();
    EXPECT_EQ(video.mode(), Mode::Stopped);
    video.close();
    EXPECT_EQ(video.mode(), Mode::NotReady);
}

// Sound-only files and broken files: no window for the one, a status for the other, and
// neither hangs; a missing file is refused at once.
TEST_F(VideoMediaControlTest, FilesWithoutPictureOrBrokenFilesEndCleanly) {
    const QString sound = make("sound.mkv", {"-f", "lavfi", "-i", "sine=frequency=440"}, 0.5);
    video.open(sound, options);
    video.play();
    ASSERT_TRUE(settle([&] { return video.mode() == Mode::Stopped; }));
    EXPECT_TRUE(video.failure().isEmpty());
    EXPECT_FALSE(video.window()->isVisible());

    QByteArray junk("RIFF\x10\0\0\0AVI LIST", 16);
    for (int i = 0; i < 20000; ++i) junk.append(char(i * 7919 >> 3));
    writeFile(dir.filePath("junk.avi"), junk);
    video.open(dir.filePath("junk.avi"), options);
    video.play();
    ASSERT_TRUE(settle([&] { return video.mode() == Mode::Stopped; }));
    EXPECT_EQ(video.failure(), "file is not accesible or corrupt");
    EXPECT_FALSE(video.window()->isVisible());

    EXPECT_THROW(video.open(dir.filePath("missing.avi"), options), MediaError);
    EXPECT_EQ(video.mode(), Mode::NotReady);
}

// Sound files go to the sound-file player, everything else to the video player, and the one
// that is open gets every call.
TEST_F(VideoMediaControlTest, TheRouterOpensEachFileOnItsPlayer) {
    const QString wave = dir.filePath("tone.wav");
    writeFile(wave, pcmWave(700));
    const QString avi = movie(1.0);
    MediaControlRouter router(std::make_unique<PcmMediaControl>(),
                              std::make_unique<VideoMediaControl>());
    EXPECT_TRUE(router.canPlay(wave));
    EXPECT_TRUE(router.canPlay(avi));
    router.open(wave, options);
    EXPECT_NEAR(router.lengthMs(), 700, 5) << "known at once: the sound-file player";
    router.open(avi, options);
    EXPECT_EQ(router.mode(), Mode::Stopped);
    router.play();
    ASSERT_TRUE(settle([&] { return router.mode() == Mode::Stopped; }));
    EXPECT_NEAR(router.positionMs(), 1000, 50);
    router.close();
}

}  // namespace
}  // namespace ombrix::test
