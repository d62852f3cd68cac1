// The README's picture of the player: the script that makes it runs the real program under a
// virtual display and writes the picture into the build folder.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QSet>
#include <QStandardPaths>

#include "support/ProcessGroup.h"

namespace ombrix::test {
namespace {

TEST(ScreenshotTest, ScriptPhotographsThePlayingWindow) {
    for (const char* tool : {"xvfb-run", "import", "convert"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << tool << " is missing (scripts/install-deps.sh installs it)";
    if (!QFile::exists(OMBRIX_BUILD_DIR "/data/demo/demo.dmp"))
        GTEST_SKIP() << "no demo playlist (lame or twolame missing)";
    const QString out = OMBRIX_BUILD_DIR "/screenshot.png";
    QFile::remove(out);

    GroupProcess script;  // the virtual display and the player end with it
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start("bash", {OMBRIX_SOURCE_DIR "/scripts/screenshot.sh", OMBRIX_BUILD_DIR, out});
    ASSERT_TRUE(script.waitForFinished(120000)) << "the script did not finish";
    ASSERT_EQ(script.exitCode(), 0) << script.readAll().toStdString();

    const QImage shot(out);
    ASSERT_FALSE(shot.isNull()) << "no picture was written";
    // Cut down to the window: smaller than the 640 x 480 screen, big enough to show the panel.
    EXPECT_LT(shot.width(), 640);
    EXPECT_LT(shot.height(), 480);
    EXPECT_GE(shot.width(), 100);
    EXPECT_GE(shot.height(), 40);
    // A drawn panel, not an empty or single-coloured window.
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 50);
}

}  // namespace
}  // namespace ombrix::test
