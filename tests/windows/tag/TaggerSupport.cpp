#include "TaggerSupport.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "support/Files.h"

namespace ombrix::test {

TaggerWorld::TaggerWorld() : ControllerRig({".mp3", ".mp2", ".rmp", ".wav"}) {}

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
    controller->playEntry(0);
    return playPastOneSecond();
}

SongTag tagOf(const QString& file) {
    SongTag tag;
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
