// The main window: start-up order, menus, exit saves, resume and the crash guard.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "ombrix/app/MainMenus.h"
#include "ombrix/app/MainWindow.h"
#include "ombrix/app/PlayerApplication.h"
#include "ombrix/control/InstanceMessage.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/control/SessionMarker.h"
#include "ombrix/desktop/SystemTray.h"
#include "ombrix/library/PlaylistFile.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/TextFile.h"
#include "ombrix/windows/config/ConfigWindow.h"
#include "support/FakeMixer.h"
#include "support/Files.h"

namespace ombrix::test {
namespace {

/// A desktop with or without a notification area.
class FakeTray final : public SystemTray {
public:
    explicit FakeTray(bool present) : present_(present) {}
    bool available() const override { return present_; }

private:
    bool present_;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        OMBRIX_NEED_MEDIA();
        Home(home.path())
            .seed(Home::defaultDataDir(QProcessEnvironment::systemEnvironment(),
                                       QCoreApplication::applicationDirPath()));
    }
    std::unique_ptr<PlayerApplication> open(QStringList args = {}, bool tray = false) {
        PlayerApplication::Options o;
        o.home = home.path();
        o.args = std::move(args);
        o.mixer = std::make_unique<FakeMixer>();
        o.tray = std::make_unique<FakeTray>(tray);
        o.hotKeys = false;
        return std::make_unique<PlayerApplication>(std::move(o));
    }
    void writeIni(const QString& key, const QString& value) {
        IniDocument ini = IniDocument::load(home.filePath("ombrix player.ini"));
        ini.writeString("option", key, value);
        ini.save(home.filePath("ombrix player.ini"));
    }
    QString song(const QString& name) {
        const QString f = home.filePath(name);
        QFile::copy(media().mp3Short, f);
        return f;
    }
    QTemporaryDir home;
};

TEST_F(WindowTest, MenuItemsOpenTheToolWindows) {
    auto w = open({song("a.mp3")});
    QAction* editTag = w->window().menus().item("EditTag1");
    ASSERT_TRUE(editTag);
    EXPECT_FALSE(editTag->isEnabled()) << "no song, no tag to edit";
    w->window().show();
    // The menus follow the controller's news, which comes a turn of the event loop after the
    // state changed.
    ASSERT_TRUE(waitFor([&] { return w->controller().state().playing && editTag->isEnabled(); }));
    for (const char* name : {"Playlist1", "EditTag1", "DJControl1", "Equalizer1"}) {
        QAction* a = w->window().menus().item(name);
        ASSERT_TRUE(a && a->isEnabled()) << name;
        a->trigger();
    }
    QStringList shown;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top != &w->window()) shown << top->windowTitle();
    shown.sort();
    EXPECT_EQ(shown, QStringList({"16 bands equalizer", "DJ control", "Playlist Editor", "a.mp3"}))
        << "the tag window is open on the playing song";
    EXPECT_FALSE(w->window().menus().item("ReadCDTrack1")->isEnabled())
        << "no CD drive support yet";
    w->window().close();
}

// Set Up > Configuration opens one window at a time; its "ok" switches the telnet server on a
// chosen port at once, and off again.
TEST_F(WindowTest, ConfigurationOpensOnceAndSwitchesTheTelnetServerAtOnce) {
    // The tests' own port override would win over the one chosen here.
    struct PortOverride {
        QByteArray saved = qgetenv("OMBRIX_TELNET_PORT");
        PortOverride() { qunsetenv("OMBRIX_TELNET_PORT"); }
        ~PortOverride() {
            if (!saved.isNull()) qputenv("OMBRIX_TELNET_PORT", saved);
        }
    } portOverride;
    auto w = open();
    w->window().show();
    QAction* config = w->window().menus().item("Config1");
    ASSERT_TRUE(config && config->isEnabled());
    config->trigger();
    ConfigWindow* first = w->window().configWindow();
    ASSERT_TRUE(first);
    config->trigger();
    EXPECT_EQ(w->window().configWindow(), first) << "raised, not opened twice";
    EXPECT_TRUE(w->store().configurationOpened());

    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const int port = probe.serverPort();
    probe.close();
    first->findChild<QCheckBox*>("chkstartdaemon")->setChecked(true);
    first->findChild<QSpinBox*>("Edit3")->setValue(port);
    first->findChild<QCheckBox*>("chkvu")->setChecked(false);
    first->findChild<QPushButton*>("btnok")->click();
    EXPECT_TRUE(first->lastProblems().isEmpty()) << first->lastProblems().join('\n').toStdString();
    EXPECT_FALSE(w->store().settings().enablevu);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, quint16(port));
    EXPECT_TRUE(client.waitForConnected(5000)) << "listening at once";
    client.abort();
    ASSERT_TRUE(waitFor([&] { return !w->window().configWindow(); })) << "freed when closed";

    config->trigger();
    ConfigWindow* second = w->window().configWindow();
    ASSERT_TRUE(second);
    second->findChild<QCheckBox*>("chkstartdaemon")->setChecked(false);
    second->findChild<QPushButton*>("btnok")->click();
    client.connectToHost(QHostAddress::LocalHost, quint16(port));
    EXPECT_FALSE(client.waitForConnected(2000)) << "stopped at once";
    w->window().close();
}

// Set Up > ReplayGain chooses the levelling mode, shows the stored one and follows a change
// made elsewhere.
TEST_F(WindowTest, ReplayGainMenuChoosesTheModeAndFollowsTheSetting) {
    writeIni("replaygain", "2");
    auto w = open();
    MainMenus& m = w->window().menus();
    ASSERT_TRUE(m.item("ReplayGainAlbum1"));
    EXPECT_TRUE(m.item("ReplayGainAlbum1")->isChecked());
    m.item("ReplayGainOff1")->trigger();
    EXPECT_EQ(w->store().settings().replaygain, 0);
    EXPECT_FALSE(m.item("ReplayGainAlbum1")->isChecked());
    w->store().change([](PlayerSettings& s) { s.replaygain = 1; });
    ASSERT_TRUE(waitFor([&] { return m.item("ReplayGainTrack1")->isChecked(); }));
}

// The player's own volume and pan outlive the run; the system mixer is not touched for them.
TEST_F(WindowTest, OwnVolumeAndPanAreKeptAcrossStarts) {
    writeIni("playervolume", "50");
    writeIni("playerpan", "-64");
    {
        auto w = open();
        EXPECT_EQ(w->controller().state().volume, 50);
        EXPECT_EQ(w->controller().state().pan, -64);
        w->controller().setVolume(90);
    }
    auto w = open();
    EXPECT_EQ(w->controller().state().volume, 90);
    EXPECT_EQ(w->controller().state().pan, -64);
}

TEST_F(WindowTest, CommandLineFilesPlayOnceTheWindowIsShown) {
    const QString a = song("a.mp3"), b = song("b.mp3");
    auto w = open({a, b});
    EXPECT_FALSE(w->controller().state().playing);
    w->window().show();
    ASSERT_TRUE(waitFor([&] { return w->controller().state().playing; }));
    EXPECT_EQ(w->controller().playlist(), QStringList({a, b}));

    // The timers run only while they have work: the display's while it is seen and moving,
    // the controller's while a song plays. An idle player does not wake up.
    w->controller().showStatus(QString(), 0);  // the start's status would hold the tick 5 s
    EXPECT_TRUE(w->window().fastTicking());
    EXPECT_TRUE(w->window().slowTicking());
    w->window().showMinimized();
    EXPECT_TRUE(waitFor([&] { return !w->window().fastTicking(); }))
        << "nothing is drawn for a minimised window";
    EXPECT_TRUE(w->window().slowTicking()) << "the song's end is still seen to";
    w->window().showNormal();
    EXPECT_TRUE(waitFor([&] { return w->window().fastTicking(); }));
    w->controller().stop();
    EXPECT_TRUE(waitFor([&] { return !w->window().fastTicking() && !w->window().slowTicking(); }))
        << "a stopped player sleeps";
    w->controller().showStatus("hello", 5);
    EXPECT_TRUE(waitFor([&] { return w->window().fastTicking(); })) << "a status text counts down";
    EXPECT_TRUE(waitFor([&] { return !w->window().fastTicking(); }));
    w->window().close();
}

TEST_F(WindowTest, ExitSavesThePlaylistAndResumeStartsWithItsFirstEntry) {
    const QString a = song("a.mp3"), b = song("b.mp3");
    {
        auto w = open({a, b});
        w->window().menus().item("Resume1")->setChecked(true);
        w->window().close();
        EXPECT_TRUE(w->exitSaved());
    }
    EXPECT_EQ(PlaylistFile::load(home.filePath("backup.dmp")), QStringList({a, b}));
    EXPECT_FALSE(QFile::exists(home.filePath(SessionMarker::kFileName)));
    EXPECT_EQ(IniDocument::load(home.filePath("ombrix player.ini")).readString("option", "resume1"),
              "1");

    auto w = open();
    w->window().show();
    ASSERT_TRUE(waitFor([&] { return w->controller().state().playing; }));
    EXPECT_EQ(w->controller().currentIndex(), 0);
    w->window().close();
}

TEST_F(WindowTest, AfterAnUncleanExitResumeSkipsTheEntryThatWasPlaying) {
    const QString a = song("a.mp3"), b = song("b.mp3"), c = song("c.mp3");
    PlaylistFile::save(home.filePath("backup.dmp"), {a, b, c});
    writeIni("resume1", "1");
    SessionMarker(home.filePath(SessionMarker::kFileName)).songStarted(1, b);

    auto w = open();
    w->window().show();
    ASSERT_TRUE(waitFor([&] { return w->controller().state().playing; }));
    EXPECT_EQ(w->controller().currentIndex(), 2);
    EXPECT_TRUE(w->controller().state().statusText.contains("skipping b.mp3"));
    w->window().close();
}

TEST_F(WindowTest, SecondInstanceMessagesAddPlayOrStop) {
    const QString a = song("a.mp3"), b = song("b.mp3");
    auto w = open();
    w->window().show();
    w->handleInstanceMessage("@@add " + a);
    ASSERT_TRUE(waitFor([&] { return w->controller().state().playing; }))
        << "adding to an idle player starts it";
    w->handleInstanceMessage("@@add " + b);
    EXPECT_EQ(w->controller().state().count, 2);
    EXPECT_EQ(w->controller().currentIndex(), 0) << "an add does not interrupt the song";
    w->handleInstanceMessage("@@stop");
    EXPECT_FALSE(w->controller().state().playing);
    // 255 characters of junk: a missing file, removed again, nothing else happens.
    w->handleInstanceMessage(
        InstanceMessage::decode(InstanceMessage::encode(QString(255, QChar('~')))));
    EXPECT_EQ(w->controller().state().count, 2);
    w->window().close();
}

TEST_F(WindowTest, DroppedFolderIsGatheredOffTheMainThreadAndPlays) {
    const QString dir = home.filePath("drop");
    QDir().mkpath(dir + "/sub");
    QFile::copy(media().mp3Short, dir + "/sub/x.mp3");
    QFile::copy(media().mp3Short, dir + "/y.mp3");
    writeFile(dir + "/notes.xyz", "x");
    auto w = open();
    w->window().show();
    w->window().dropPaths({dir});
    ASSERT_TRUE(waitFor([&] { return w->controller().state().playing; }));
    EXPECT_EQ(w->controller().playlist(), QStringList({dir + "/sub/x.mp3", dir + "/y.mp3"}));
    w->window().close();
}

// "ombrix ~/Music/Album" and a file manager's "Open with" on a folder: its files, as a drop of
// the folder gives them, on a first start and handed to a running player.
TEST_F(WindowTest, FolderOnTheCommandLinePlaysItsFiles) {
    const QString dir = home.filePath("Album");
    QDir().mkpath(dir + "/cd2");
    // Long songs: a running player takes files only while no song change is under way.
    QFile::copy(media().mp3Long, dir + "/cd2/x.mp3");
    QFile::copy(media().mp3Long, dir + "/y.mp3");
    writeFile(dir + "/cover.jpg", "x");
    const QString single = song("single.mp3");
    const QStringList files{dir + "/cd2/x.mp3", dir + "/y.mp3"};
    {
        auto w = open({single, dir});
        w->window().show();
        ASSERT_TRUE(waitFor([&] { return w->controller().state().playing; }));
        EXPECT_EQ(w->controller().playlist(), QStringList({single}) + files);
        w->window().close();
    }
    auto w = open();
    w->window().show();
    w->handleInstanceMessage("@@add " + dir);
    ASSERT_TRUE(waitFor([&] { return w->controller().state().count == 2; }));
    EXPECT_EQ(w->controller().playlist(), files);
    w->handleInstanceMessage(dir);
    ASSERT_TRUE(waitFor([&] { return w->controller().state().count == 4; }));
    EXPECT_TRUE(waitFor([&] {
        const PlayerState st = w->controller().state();
        return st.playing && st.currentIndex == 2;
    })) << "a folder handed over to play starts its first file";
    w->window().close();
}

// With the default settings a start with files hides the window to the tray; a desktop without
// a tray keeps it shown, or the player could not be found again.
TEST_F(WindowTest, StartWithFilesHidesToTheTrayOnlyWhereThereIsOne) {
    writeIni("glbhide", "1");
    const QString a = song("a.mp3");
    {
        auto w = open({a}, false);
        EXPECT_FALSE(w->window().hidesWhenPlaying());
        w->window().show();
        ASSERT_TRUE(waitFor([&] { return w->controller().state().playing; }));
        EXPECT_TRUE(w->window().isVisible());
        EXPECT_FALSE(w->window().isMinimized());
        w->window().close();
    }
    auto w = open({a}, true);
    EXPECT_TRUE(w->window().hidesWhenPlaying());
    w->window().show();
    EXPECT_TRUE(waitFor([&] { return !w->window().isVisible(); }))
        << "with a tray the window goes there once the song plays";
    w->window().close();
}

TEST(WindowHomeTest, HomeThatCannotBeWrittenStillPlaysAndClosesCleanly) {
    OMBRIX_NEED_MEDIA();
    // Nobody, not even root, can create folders under /proc.
    PlayerApplication::Options o;
    o.home = "/proc/ombrix-home-that-cannot-exist";
    o.args = {media().mp3Short};
    o.mixer = std::make_unique<FakeMixer>();
    o.hotKeys = false;
    PlayerApplication w(std::move(o));
    w.window().show();
    ASSERT_TRUE(waitFor([&] { return w.controller().state().playing; }));
    w.window().close();
    EXPECT_TRUE(w.exitSaved());
}

}  // namespace
}  // namespace ombrix::test
