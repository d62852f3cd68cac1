#include "TaggerSupport.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "TestSupport.h"

namespace ombrix::test {

TaggerWorld::TaggerWorld() {
    store = std::make_unique<SettingsStore>(Home(home.path()), ProcessorFeatures::detect());
    store->mediaTypes().flat = {".mp3", ".mp2", ".rmp", ".wav"};
    identifier = std::make_unique<MediaIdentifier>(store->mediaTypes().flat);
    EntryResolver::Config rc;
    rc.tempFolder = home.filePath("temp");
    rc.downloadFolder = home.filePath("file");
    resolver = std::make_unique<EntryResolver>(rc, *identifier, temps);
    controller = std::make_unique<PlaybackController>(*store, *resolver, clock, host);
}

TaggerWorld::~TaggerWorld() {
    controller.reset();
    temps.deleteAll();
}

QString TaggerWorld::mp3(const QString& name) const {
    const QString path = songs_.filePath(name);
    QFile::copy(media().mp3Short, path);
    QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

QString TaggerWorld::wave(const QString& name) const {
    const QString path = songs_.filePath(name);
    writeFile(path, pcmWave(100));
    return path;
}

bool TaggerWorld::play(const QString& file) {
    QFile::copy(media().mp3Long, file);
    QFile(file).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    controller->setPlaylist({file});
    controller->PlayEntry(0);
    return waitFor([&] {
        clock.advance(100);
        controller->tick100();
        if (clock.ms % 500 == 0) controller->tick500();
        return controller->ElapsedMs() >= 1000;
    });
}

Tidtag tagOf(const QString& file) {
    Tidtag tag;
    tag.read(file);
    return tag;
}

bool makeReadOnly(const QString& file) {
    if (geteuid() == 0) return QProcess::execute("chattr", {"+i", file}) == 0;
    return QFile(file).setPermissions(QFile::ReadOwner);
}

void makeWritable(const QString& file) {
    if (geteuid() == 0) QProcess::execute("chattr", {"-i", file});
    QFile(file).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

}  // namespace ombrix::test
