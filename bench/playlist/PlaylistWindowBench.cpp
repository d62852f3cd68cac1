// The playlist window with 100,000 entries: every operation a user makes on a big list, timed
// once per round (the median of five rounds is printed), including the repaint it causes.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <numeric>
#include <vector>

#include "ombrix/control/Clock.h"
#include "ombrix/control/ControllerHost.h"
#include "ombrix/control/PlaybackController.h"
#include "ombrix/media/EntryResolver.h"
#include "ombrix/media/TempRegister.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/windows/playlist/PlaylistEditor.h"
#include "ombrix/windows/playlist/PlaylistView.h"
#include "ombrix/windows/playlist/PlaylistWindow.h"

using namespace ombrix;

namespace {

constexpr int kEntries = 100000;
constexpr int kRounds = 5;

class StillClock final : public Clock {
public:
    qint64 ticks() const override { return 0; }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

QStringList bigList() {
    QStringList entries;
    entries.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i)
        entries << QStringLiteral("/music/Artist %1/Album %2/%3 Track %4.mp3")
                       .arg((i * 7919) % 997)
                       .arg(i % 31)
                       .arg(i % 12)
                       .arg(i);
    return entries;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    QTemporaryDir home;
    SettingsStore store(Home(home.path()), ProcessorFeatures::detect());
    store.mediaTypes().flat = {".zip", ".lzh", ".dmp", ".m3u", ".s3z", ".itz",
                               ".mdz", ".xmz", ".mp3", ".mp2", ".rmp", ".wav"};
    MediaIdentifier media(store.mediaTypes().flat);
    EntryResolver::Config rc;
    rc.tempFolder = home.filePath("temp");
    rc.downloadFolder = home.filePath("file");
    TempRegister temps;
    EntryResolver resolver(rc, media, temps);
    StillClock clock;
    ControllerHost host;
    PlaybackController controller(store, resolver, clock, host);
    const QStringList entries = bigList();

    std::map<std::string, std::vector<double>> times;
    const std::vector<std::string> order{"fill (show the window)",
                                         "scroll to the end",
                                         "select all",
                                         "move 50,000 selected to top",
                                         "move 50,000 scattered",
                                         "sort",
                                         "shuffle",
                                         "save",
                                         "add 50,000 dropped files",
                                         "close (hand the list over)"};
    for (int round = 0; round < kRounds; ++round) {
        controller.setPlaylist(entries);
        PlaylistWindow window(controller, store, {});
        window.resize(480, 600);
        PlaylistView& view = window.view();
        PlaylistEditor& editor = window.editor();
        QElapsedTimer t;
        auto measure = [&](const std::string& name, const std::function<void()>& step) {
            t.start();
            step();
            view.viewport()->repaint();
            QCoreApplication::processEvents();
            times[name].push_back(double(t.nsecsElapsed()) / 1e6);
        };
        measure(order[0], [&] { window.show(); });
        measure(order[1], [&] { view.scrollToBottom(); });
        measure(order[2], [&] { view.selectAll(); });
        measure(order[3], [&] {
            std::vector<int> rows(kEntries / 2);
            std::iota(rows.begin(), rows.end(), kEntries / 2);
            editor.list().moveRows(rows, 0);
        });
        measure(order[4], [&] {
            std::vector<int> rows;
            for (int i = 1; i < kEntries; i += 2) rows.push_back(i);
            editor.list().moveRows(rows, 0);
        });
        measure(order[5], [&] { window.button(QStringLiteral("btnsort"))->trigger(); });
        measure(order[6], [&] { window.button(QStringLiteral("btnShuffle"))->trigger(); });
        measure(order[7], [&] { editor.save(home.filePath(QStringLiteral("big.dmp"))); });
        measure(order[8], [&] { editor.addItems(entries.mid(0, kEntries / 2)); });
        measure(order[9], [&] { window.close(); });
        if (controller.playlist().size() != kEntries + kEntries / 2) {
            std::fprintf(stderr, "the list lost entries\n");
            return 1;
        }
    }
    std::printf("playlist window, %d entries (median of %d rounds)\n", kEntries, kRounds);
    for (const std::string& name : order) {
        std::vector<double>& v = times[name];
        std::sort(v.begin(), v.end());
        std::printf("  %-30s %8.1f ms\n", name.c_str(), v[v.size() / 2]);
    }
    return 0;
}
