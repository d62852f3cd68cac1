// What the program says about itself (version, licence, home page) and where its open dialog
// starts.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>

#include "ombrix/app/AboutBox.h"
#include "ombrix/app/MainWindow.h"
#include "ombrix/app/OpenDialogFolder.h"
#include "ombrix/app/PlayerApplication.h"
#include "ombrix/app/ProgramInfo.h"
#include "support/FakeMixer.h"

namespace ombrix::test {
namespace {

QString label(const QWidget& parent, const char* name) {
    const QLabel* l = parent.findChild<QLabel*>(QLatin1String(name));
    return l ? l->text() : QString();
}

TEST(ProgramInfoTest, AboutBoxGivesVersionLicenceAndHomePage) {
    ASSERT_FALSE(QString(program::kVersion).isEmpty());
    const AboutBox box("credits");
    EXPECT_TRUE(label(box, "version").contains(program::kVersion));
    EXPECT_TRUE(label(box, "licence").contains(program::kLicense));
    EXPECT_TRUE(label(box, "homepage").contains(QString(program::kHomePage).toHtmlEscaped()));
}

// Telnet's "version" answers with the main window's title, so the title carries the version.
TEST(ProgramInfoTest, MainWindowTitleCarriesTheVersion) {
    QTemporaryDir home;
    PlayerApplication::Options o;
    o.home = home.path();
    o.mixer = std::make_unique<FakeMixer>();
    o.hotKeys = false;
    PlayerApplication player(std::move(o));
    ASSERT_FALSE(player.startFailed());
    EXPECT_EQ(player.window().windowTitle(),
              QString("Ombrix Player ") + QLatin1String(program::kVersion));
    player.window().close();
}

TEST(ProgramInfoTest, OpenDialogStartsOnlyInFoldersThatExist) {
    QTemporaryDir dir;
    const QString music = dir.filePath("Music"), recent = dir.filePath("recent");
    const QString home = dir.path();
    // A fresh account has no "Music": the dialog starts at home, not in a folder to be made.
    EXPECT_EQ(OpenDialogFolder::choose({}, music, home), home);
    EXPECT_EQ(OpenDialogFolder::choose(recent, music, home), home) << "a recent folder removed";
    ASSERT_TRUE(QDir().mkpath(music));
    EXPECT_EQ(OpenDialogFolder::choose({}, music, home), music);
    EXPECT_EQ(OpenDialogFolder::choose(recent, music, home), music);
    ASSERT_TRUE(QDir().mkpath(recent));
    EXPECT_EQ(OpenDialogFolder::choose(recent, music, home), recent);
    EXPECT_EQ(OpenDialogFolder::choose({}, {}, home), home) << "no music folder known";
}

}  // namespace
}  // namespace ombrix::test
