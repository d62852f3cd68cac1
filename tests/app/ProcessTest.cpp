// The program as a user starts it: a second start hands its file to the first, and a real
// window under Xvfb plays a song to its end into SDL's disk writer.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUuid>

#include "ombrix/app/ProgramInfo.h"
#include "ombrix/control/SessionMarker.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/TextFile.h"
#include "support/Files.h"
#include "support/ProcessGroup.h"

namespace ombrix::test {
namespace {

QProcessEnvironment programEnvironment(const QString& instance) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("OMBRIX_INSTANCE", instance);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");
    return env;
}

void writeOptions(const QString& home, const QList<QPair<QString, QString>>& values) {
    IniDocument ini;
    for (const auto& [key, value] : values) ini.writeString("option", key, value);
    QDir().mkpath(home);
    ini.save(QDir(home).filePath("ombrix player.ini"));
}

QString playingEntry(const QString& home) {
    const QString marker = QDir(home).filePath(SessionMarker::kFileName);
    if (!QFile::exists(marker)) return {};
    const QStringList lines = TextFile::readLines(marker);
    return lines.size() > 1 ? lines.at(1) : QString();
}

TEST(ProcessTest, SecondStartHandsItsFileToTheRunningPlayerAndShowsNothing) {
    OMBRIX_NEED_MEDIA();
    QTemporaryDir home;
    const QString instance = "ombrix-test-" + QUuid::createUuid().toString(QUuid::Id128);
    QProcess first;
    first.setProcessEnvironment(programEnvironment(instance));
    first.start(OMBRIX_PROGRAM, {"--home", home.path()});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(waitFor([&] {
        return QFile::exists(QDir(home.path()).filePath(SessionMarker::kFileName));
    })) << "the first instance did not come up";

    // A long name split at a blank by the shell is joined back for the running player.
    const QString spaced = QDir(home.path()).filePath("my song.mp3");
    QFile::copy(media().mp3Long, spaced);
    QProcess second;
    second.setProcessEnvironment(programEnvironment(instance));
    second.start(OMBRIX_PROGRAM,
                 {"--home", home.path(), QDir(home.path()).filePath("my"), "song.mp3"});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);

    EXPECT_TRUE(waitFor([&] { return playingEntry(home.path()) == spaced; }))
        << "the running player did not play the handed-over file";
    first.kill();
    first.waitForFinished();
}

// Asking how to call the program, or calling it wrongly, is answered by that start alone: the
// running player is not handed "--help" as a file to play.
TEST(ProcessTest, HelpVersionAndWrongOptionsNeverReachTheRunningPlayer) {
    OMBRIX_NEED_MEDIA();
    QTemporaryDir home;
    const QString song = QDir(home.path()).filePath("playing.mp3");
    QFile::copy(media().mp3Long, song);
    const QString instance = "ombrix-test-" + QUuid::createUuid().toString(QUuid::Id128);
    QProcess first;
    first.setProcessEnvironment(programEnvironment(instance));
    first.start(OMBRIX_PROGRAM, {"--home", home.path(), song});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(waitFor([&] { return playingEntry(home.path()) == song; }))
        << "the first instance did not come up";

    struct Start {
        QStringList args;
        int status;
        QString out;      // what standard output begins with (empty: nothing at all)
        const char* err;  // what standard error holds
    };
    const Start starts[] = {
        {{"--help"}, 0, "Usage: ombrix ", ""},
        {{"-h", "/somewhere/a.mp3"}, 0, "Usage: ombrix ", ""},
        {{"--version"}, 0, QString("Ombrix Player %1\n").arg(program::kVersion), ""},
        {{"--shuffle", "/somewhere/a.mp3"}, 2, "", "unknown option --shuffle"},
        {{"--home"}, 2, "", "option --home needs a folder"},
    };
    for (const Start& s : starts) {
        QProcess p;
        p.setProcessEnvironment(programEnvironment(instance));
        p.start(OMBRIX_PROGRAM, s.args);
        ASSERT_TRUE(p.waitForFinished(20000));
        const std::string what = s.args.join(' ').toStdString();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << what;
        EXPECT_EQ(p.exitCode(), s.status) << what;
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        EXPECT_TRUE(s.out.isEmpty() ? out.isEmpty() : out.startsWith(s.out))
            << what << ": " << out.toStdString();
        EXPECT_TRUE(err.contains(s.err)) << what << ": " << err.toStdString();
    }
    // The running player still plays its song; a bogus name handed over would have replaced it
    // ("file not found") and ended the playback.
    ASSERT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(playingEntry(home.path()), song);
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(TextFile::readLines(QDir(home.path()).filePath("backup.dmp")), QStringList({song}))
        << "nothing was added to the running player's playlist";
}

TEST(ProcessTest, TheEndOfTheSessionClosesThePlayerLikeExitAndKeepsItsPlaylist) {
    OMBRIX_NEED_MEDIA();
    QTemporaryDir home;
    const QString song = QDir(home.path()).filePath("kept.mp3");
    QFile::copy(media().mp3Long, song);
    QProcess player;
    player.setProcessEnvironment(
        programEnvironment("ombrix-test-" + QUuid::createUuid().toString(QUuid::Id128)));
    player.start(OMBRIX_PROGRAM, {"--home", home.path(), song});
    ASSERT_TRUE(player.waitForStarted());
    ASSERT_TRUE(waitFor([&] { return playingEntry(home.path()) == song; }));
    player.terminate();  // SIGTERM, as at logout, while the sound device is open
    ASSERT_TRUE(player.waitForFinished(20000)) << "the player ignored SIGTERM";
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player.exitCode(), 0);
    EXPECT_EQ(TextFile::readLines(QDir(home.path()).filePath("backup.dmp")), QStringList({song}));
    EXPECT_FALSE(QFile::exists(QDir(home.path()).filePath(SessionMarker::kFileName)))
        << "a clean end leaves no crash marker";
}

TEST(ProcessTest, WithoutAUsablePanelThePlayerEndsWithAFailureAndKeepsTheSettings) {
    // Default data whose only panel is damaged: the home is seeded from it, so no candidate
    // panel can be shown.
    QTemporaryDir data, home;
    QDir(data.path()).mkpath("panel");
    writeFile(QDir(data.path()).filePath("panel/default.bmp"), "BM not a bitmap");
    writeOptions(home.path(), {{"glbhide", "0"}});
    const QString ini = QDir(home.path()).filePath("ombrix player.ini");
    const QByteArray before = readFile(ini);
    QProcessEnvironment env =
        programEnvironment("ombrix-test-" + QUuid::createUuid().toString(QUuid::Id128));
    env.insert("OMBRIX_DATA_DIR", data.path());
    QProcess player;
    player.setProcessEnvironment(env);
    player.start(OMBRIX_PROGRAM, {"--home", home.path()});
    ASSERT_TRUE(player.waitForFinished(20000)) << "the player kept running without a panel";
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(player.exitCode(), 0);
    EXPECT_EQ(readFile(ini), before) << "a run that could not start writes nothing";
}

TEST(ProcessTest, RealWindowPlaysASongToItsEndIntoTheSoundDevice) {
    OMBRIX_NEED_MEDIA();
    const QString xvfbRun = QStandardPaths::findExecutable("xvfb-run");
    if (xvfbRun.isEmpty()) GTEST_SKIP() << "xvfb-run is missing";
    QTemporaryDir home;
    writeOptions(home.path(), {{"glbautoexit", "1"},
                               {"dontsleep", "1"},
                               {"glbhide", "0"},
                               {"usemmx", "0"},
                               {"glbmp3volume", "32767"}});
    const QString raw = QDir(home.path()).filePath("device.raw");

    QProcessEnvironment env =
        programEnvironment("ombrix-test-" + QUuid::createUuid().toString(QUuid::Id128));
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("SDL_AUDIODRIVER", "disk");
    env.insert("SDL_DISKAUDIOFILE", raw);
    GroupProcess player;  // the X server ends with it, also when the test fails
    player.setProcessEnvironment(env);
    player.start(xvfbRun, {"-a", "-s", "-screen 0 800x600x24 -nolisten tcp", OMBRIX_PROGRAM,
                           "--home", home.path(), media().mp3Short});
    ASSERT_TRUE(player.waitForFinished(60000)) << "the player did not exit after its last song";
    EXPECT_EQ(player.exitCode(), 0) << player.readAllStandardError().toStdString();

    QProcess decode;
    decode.start(OMBRIX_DECODE_TOOL,
                 {"--raw", "--path", "float", "--volume", "32767", media().mp3Short, "-"});
    ASSERT_TRUE(decode.waitForFinished(60000));
    const QByteArray expected = decode.readAllStandardOutput();
    const QByteArray heard = TextFile::readAll(raw);
    ASSERT_GT(expected.size(), 200000);
    // The device may play silence before the first block arrives; then the whole song follows.
    const qsizetype start = heard.indexOf(expected.mid(100000, 256)) - 100000;
    ASSERT_GE(start, 0) << "the device did not get the decoded song";
    EXPECT_LT(start, 44100 * 4) << "more than a second of silence before the song";
    EXPECT_EQ(heard.left(start), QByteArray(start, '\0'));
    EXPECT_EQ(heard.mid(start, expected.size()), expected)
        << "the song was not played whole, to its end";
    EXPECT_TRUE(QFile::exists(QDir(home.path()).filePath("backup.dmp")));
}

// What a test starts under xvfb-run (the X server, the player) ends with the test, also when the
// test stops early and when a member ignores the polite signal.
TEST(ProcessTest, AProcessGroupEndsEverythingItsChildStarted) {
    qint64 group = 0;
    {
        GroupProcess shell;
        shell.start("sh", {"-c", "trap '' TERM; sleep 300 & sleep 300 & wait"});
        ASSERT_TRUE(shell.waitForStarted());
        group = shell.processId();
        ASSERT_TRUE(waitFor([&] {
            QProcess ps;
            ps.start("pgrep", {"-g", QString::number(group), "sleep"});
            ps.waitForFinished();
            return ps.readAll().split('\n').count() >= 3;  // two sleeps and the final newline
        }));
        shell.endGroup(300);
    }
    EXPECT_NE(::kill(-static_cast<pid_t>(group), 0), 0) << "a member of the group survived";
}

}  // namespace
}  // namespace ombrix::test
