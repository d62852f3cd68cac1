// The program entry: the single-instance rule, then the player and its main window.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProcessEnvironment>
#include <cstdio>
#include <cstdlib>

#include "ombrix/app/MainWindow.h"
#include "ombrix/app/PlayerApplication.h"
#include "ombrix/app/ProgramInfo.h"
#include "ombrix/control/CommandLine.h"
#include "ombrix/control/InstanceMessage.h"
#include "ombrix/desktop/SingleInstance.h"
#include "ombrix/desktop/TerminationSignals.h"
#include "ombrix/settings/Home.h"
#include "ombrix/settings/IniDocument.h"

namespace {

/// Answers --help, --version and wrong options. Runs before the application object exists, so
/// it needs no display and never reaches a running player. Returns the exit status, or -1 to
/// start the player.
int answerProgramOptions(int argc, char** argv) {
    using namespace ombrix;
    QStringList raw;
    for (int i = 0; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
    const QString program = raw.isEmpty() ? QStringLiteral("ombrix") : QDir(raw[0]).dirName();
    const ProgramOptions asked = CommandLine::parseProgramOptions(raw);
    switch (asked.action) {
        case ProgramOptions::Action::Help:
            std::fputs(CommandLine::usage(program).toLocal8Bit().constData(), stdout);
            return EXIT_SUCCESS;
        case ProgramOptions::Action::Version:
            std::printf("%s %s\n", program::kName, program::kVersion);
            return EXIT_SUCCESS;
        case ProgramOptions::Action::Error:
            std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n",
                         program.toLocal8Bit().constData(), asked.error.toLocal8Bit().constData(),
                         program.toLocal8Bit().constData());
            return CommandLine::kUsageError;
        case ProgramOptions::Action::Run:
            break;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace ombrix;
    if (const int status = answerProgramOptions(argc, argv); status >= 0) return status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ombrix Player"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ombrix Player"));
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList argv0 = QCoreApplication::arguments();
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString homeDir = Home::resolve(argv0, env, exeDir);
    // Qt has taken its own options (-platform, -style ...) out of the arguments by now.
    const QStringList args = CommandLine::parseProgramOptions(argv0).args;

    // allowmulti is read before anything else.
    const Home home(homeDir);
    const bool allowMulti =
        IniDocument::load(home.path(Home::kMainIni))
            .readBool(QStringLiteral("option"), QStringLiteral("allowmulti"), false);
    // OMBRIX_INSTANCE names a separate instance group (tests run players side by side).
    SingleInstance instance(
        SingleInstance::serverPath(env, env.value(QStringLiteral("OMBRIX_INSTANCE"))));
    if (!allowMulti && instance.otherInstanceRunning()) {
        if (!args.isEmpty()) {
            const QString text = CommandLine::joinForRunningInstance(args);
            if (!text.isEmpty()) instance.sendToRunning(InstanceMessage::encode(text));
        }
        return 0;
    }
    instance.listen();

    if (!home.seed(Home::defaultDataDir(env, exeDir)))
        QMessageBox::warning(nullptr, QStringLiteral("Ombrix Player"),
                             QStringLiteral("The folder %1 cannot be created: settings and "
                                            "playlists will not be kept.")
                                 .arg(QDir::toNativeSeparators(homeDir)));

    PlayerApplication::Options options;
    options.home = homeDir;
    options.args = args;
    options.instance = &instance;
    PlayerApplication player(std::move(options));
    if (player.startFailed()) return EXIT_FAILURE;
    MainWindow& window = player.window();
    // The end of the session (or Ctrl+C in a terminal) closes the player like Exit does, so the
    // settings and the playlist are kept.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &window,
                     [&window] { window.close(); });
    window.show();
    return QApplication::exec();
}
