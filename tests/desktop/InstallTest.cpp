// `make install` into a temporary prefix: the validators accept the desktop files, and the
// installed program, started as its desktop entry says, comes up under Xvfb and finds its data.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUuid>

#include "ombrix/control/SessionMarker.h"
#include "ombrix/desktop/DesktopIntegration.h"
#include "ombrix/settings/IniDocument.h"
#include "support/Files.h"
#include "support/ProcessGroup.h"

namespace ombrix::test {
namespace {

QString run(const QString& program, const QStringList& args, int* exitCode,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        *exitCode = -1;
    } else {
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    return QString::fromLocal8Bit(p.readAll());
}

TEST(InstallTest, InstalledTreeValidatesAndTheProgramStartsFromItsDesktopEntry) {
    QTemporaryDir stage;
    const QString prefix = stage.filePath("usr");
    int rc = 0;
    // DESTDIR-style staging: the prefix names the final place, DESTDIR where it goes now.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DESTDIR", stage.filePath("dest"));
    const QString out =
        run("cmake", {"--install", OMBRIX_BUILD_DIR, "--prefix", "/opt/ombrix-test"}, &rc, env);
    ASSERT_EQ(rc, 0) << out.toStdString();
    const QString root = stage.filePath("dest/opt/ombrix-test");
    for (const char* f :
         {"bin/ombrix", "bin/ombrix-decode", "lib/ombrix/libmp3.so", "lib/ombrix/libmixora.so",
          "share/applications/ombrix.desktop",
          "share/metainfo/io.github.ombrix.Player.metainfo.xml",
          "share/icons/hicolor/scalable/apps/ombrix.svg",
          "share/icons/hicolor/48x48/apps/ombrix.png",
          "share/icons/hicolor/256x256/apps/ombrix.png", "share/mime/packages/ombrix.xml",
          "share/ombrix/default/resource/media.ini", "share/man/man1/ombrix.1"})
        EXPECT_TRUE(QFile::exists(QDir(root).filePath(f))) << f;

    // The manual page formats without a warning, its version filled in.
    const QString manPage = QDir(root).filePath("share/man/man1/ombrix.1");
    EXPECT_FALSE(readFile(manPage).contains("@PROJECT_")) << "a placeholder was left unfilled";
    if (!QStandardPaths::findExecutable("groff").isEmpty()) {
        const QString v = run("groff", {"-man", "-Tutf8", "-ww", "-z", manPage}, &rc);
        EXPECT_EQ(rc, 0);
        EXPECT_TRUE(v.isEmpty()) << v.toStdString();
    }

    const QString desktop = QDir(root).filePath("share/applications/ombrix.desktop");
    if (!QStandardPaths::findExecutable("desktop-file-validate").isEmpty()) {
        const QString v = run("desktop-file-validate", {desktop}, &rc);
        EXPECT_EQ(rc, 0) << v.toStdString();
    }
    if (!QStandardPaths::findExecutable("appstreamcli").isEmpty()) {
        const QString v =
            run("appstreamcli",
                {"validate", "--no-net",
                 QDir(root).filePath("share/metainfo/io.github.ombrix.Player.metainfo.xml")},
                &rc);
        EXPECT_EQ(rc, 0) << v.toStdString();
    }

    // The desktop entry's command, with the installed bin first on the path.
    const IniDocument entry = IniDocument::load(desktop);
    const QStringList exec =
        entry.readString("Desktop Entry", "Exec", "").split(' ', Qt::SkipEmptyParts);
    ASSERT_FALSE(exec.isEmpty());
    EXPECT_EQ(exec.first(), "ombrix");
    const QString xvfbRun = QStandardPaths::findExecutable("xvfb-run");
    if (xvfbRun.isEmpty()) GTEST_SKIP() << "xvfb-run is missing";

    QTemporaryDir home;
    QProcessEnvironment penv = QProcessEnvironment::systemEnvironment();
    penv.insert("PATH", QDir(root).filePath("bin") + ":" + penv.value("PATH"));
    penv.insert("OMBRIX_HOME", home.path());
    penv.insert("OMBRIX_INSTANCE", "ombrix-test-" + QUuid::createUuid().toString(QUuid::Id128));
    penv.insert("SDL_AUDIODRIVER", "dummy");
    penv.insert("QT_QPA_PLATFORM", "xcb");
    penv.remove("OMBRIX_DATA_DIR");
    // No session bus for this one: it must run as before and say so once.
    penv.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + stage.filePath("no-bus"));
    GroupProcess player;
    player.setProcessEnvironment(penv);
    player.setProcessChannelMode(QProcess::MergedChannels);
    QStringList args{"-a", "-s", "-screen 0 800x600x24 -nolisten tcp",
                     "sh", "-c", "exec " + exec.first() + " \"$@\"",
                     "sh"};
    args << media().mp3Short;  // %F
    player.start(xvfbRun, args);
    ASSERT_TRUE(player.waitForStarted());
    const bool up = waitFor(
        [&] {
            return QFile::exists(QDir(home.path()).filePath(SessionMarker::kFileName)) &&
                   QFile::exists(QDir(home.path()).filePath("resource/media.ini"));
        },
        60000);
    // Let it run a moment, then end it as a session would: the program, its X server and
    // xvfb-run all get the signal.
    waitFor([] { return false; }, 1500);
    player.endGroup();
    const QString output = QString::fromLocal8Bit(player.readAll());
    ASSERT_TRUE(up) << "the installed program did not come up: " << output.toStdString();
    EXPECT_EQ(output.count(DesktopIntegration::kNoBusMessage), 1) << output.toStdString();
    EXPECT_TRUE(QFile::exists(QDir(home.path()).filePath("credits.txt")))
        << "the home was seeded from the installed data";
}

}  // namespace
}  // namespace ombrix::test
