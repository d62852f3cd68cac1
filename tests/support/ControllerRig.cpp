#include "support/ControllerRig.h"

#include <QCoreApplication>
#include <QFile>

namespace ombrix::test {

QStringList ControllerRig::allTypes() {
    return {".zip", ".lzh", ".dmp", ".m3u", ".s3z", ".itz",
            ".mdz", ".xmz", ".mp3", ".mp2", ".rmp", ".wav"};
}

ControllerRig::ControllerRig(const QStringList& mediaTypes, ProcessorFeatures cpu) {
    store = std::make_unique<SettingsStore>(Home(home.path()), cpu);
    store->mediaTypes().flat = mediaTypes;
    identifier = std::make_unique<MediaIdentifier>(store->mediaTypes().flat);
    EntryResolver::Config rc;
    rc.tempFolder = home.filePath("temp");
    rc.downloadFolder = home.filePath("file");
    resolver = std::make_unique<EntryResolver>(rc, *identifier, temps);
    controller = std::make_unique<PlaybackController>(*store, *resolver, clock, host);
}

ControllerRig::~ControllerRig() {
    controller.reset();
    temps.deleteAll();
}

void ControllerRig::ticks(int n) {
    for (int i = 0; i < n; ++i) {
        clock.advance(100);
        controller->tick100();
        if (clock.ms % 500 == 0) controller->tick500();
        QCoreApplication::processEvents();
    }
}

bool ControllerRig::tickUntil(const std::function<bool()>& done, int limitMs) {
    return waitFor(
        [&] {
            ticks(1);
            return done();
        },
        limitMs);
}

bool ControllerRig::playPastOneSecond() {
    return tickUntil([&] { return controller->elapsedMs() >= 1000; });
}

QStringList ControllerRig::songs(int n) {
    QStringList out;
    for (int i = 0; i < n; ++i) out << song(QString("song%1.mp3").arg(i));
    return out;
}

QString ControllerRig::song(const QString& name, const QByteArray& title,
                            const QByteArray& artist) {
    const QString path = home.filePath(name);
    QByteArray bytes = readFile(media().mp3Short);
    if (!title.isNull()) bytes += id3v1(title, artist, {}, {}, {}, 255);
    writeFile(path, bytes);
    return path;
}

}  // namespace ombrix::test
