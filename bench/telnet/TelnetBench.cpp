// Drives the remote-control server over 127.0.0.1 with 1 and with 50 clients, each sending
// commands one after the other and waiting for every reply, and reports commands per second
// and the longest time the main thread was kept from its event loop meanwhile (a 1 ms timer
// on the main thread notes the largest gap between its runs).
// Usage: telnet-bench [COMMANDS_PER_CLIENT]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>

#include "TelnetClient.h"
#include "ombrix/control/Clock.h"
#include "ombrix/control/ControllerHost.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/media/EntryResolver.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/media/TempRegister.h"
#include "ombrix/remote/TelnetCommandHost.h"
#include "ombrix/remote/TelnetServer.h"
#include "ombrix/settings/SettingsStore.h"

using namespace ombrix;

namespace {

// Resident memory of this process in KiB (0 where /proc is not there).
long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key)
        if (key == "VmRSS:" && status >> value) return value;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("SDL_AUDIODRIVER", "dummy");
    QCoreApplication app(argc, argv);
    int perClient = 2000;
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-') perClient = std::max(1, atoi(argv[i]));

    QTemporaryDir home;
    SettingsStore store(Home(home.path()), ProcessorFeatures::detect());
    store.mediaTypes().flat = {".mp3", ".mp2", ".dmp", ".m3u"};
    MediaIdentifier identifier(store.mediaTypes().flat);
    TempRegister temps;
    EntryResolver::Config rc;
    rc.tempFolder = home.filePath("temp");
    rc.downloadFolder = home.filePath("file");
    EntryResolver resolver(rc, identifier, temps);
    SystemClock clock;
    ControllerHost windowless;
    PlaybackController controller(store, resolver, clock, windowless);
    QStringList entries;
    for (int i = 0; i < 20; ++i) entries << home.filePath(QStringLiteral("song%1.mp3").arg(i));
    controller.setPlaylist(entries);

    TelnetCommandHost host(controller, store, QStringLiteral("Ombrix Player"), [] {});
    TelnetServer server([&](const QString& line) { return host.execute(line); });
    server.setMaxSessions(64);
    if (!server.start(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "cannot listen: %s\n", qPrintable(server.errorString()));
        return 1;
    }

    QElapsedTimer sinceProbe;
    qint64 longestGap = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceProbe.nsecsElapsed());
        sinceProbe.restart();
    });

    static const QByteArray kCommands[] = {"volume 50", "info", "version", "list", "volume"};
    std::printf("%-8s %10s %9s %12s %20s %10s\n", "clients", "commands", "seconds", "commands/s",
                "longest stall (ms)", "RSS (KiB)");
    // The 50-client round runs four times: memory after the later ones shows whether sessions leak.
    for (const int clients : {1, 50, 50, 50, 50}) {
        std::atomic<int> failures{0};
        sinceProbe.start();
        longestGap = 0;
        probe.start(1);
        QElapsedTimer wall;
        wall.start();
        test::runClients(clients, [&](int) {
            test::TelnetClient c(server.port());
            if (!c.readPrompt().endsWith("> ")) {
                failures.fetch_add(1);
                return;
            }
            for (int k = 0; k < perClient; ++k)
                if (!c.command(kCommands[k % 5]).endsWith("> ")) failures.fetch_add(1);
            c.send("bye\r");
            c.readToEnd();
        });
        const double seconds = wall.nsecsElapsed() / 1e9;
        probe.stop();
        const double total = double(clients) * perClient;
        // The probe's own 1 ms period is not a stall.
        const double stallMs = std::max(0.0, longestGap / 1e6 - 1.0);
        std::printf("%-8d %10.0f %9.2f %12.0f %20.2f %10ld%s\n", clients, total, seconds,
                    total / seconds, stallMs, residentKiB(),
                    failures.load() ? "  (failures!)" : "");
    }
    server.stop();
    return 0;
}
