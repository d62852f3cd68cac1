#include "ProgramSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

namespace ombrix::test {
namespace {

QByteArray le(quint32 v, int n) {
    QByteArray b;
    for (int i = 0; i < n; ++i) b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

// Stereo 16-bit tone of @p ms at 44.1 kHz, a different pitch for every song.
QByteArray tone(int ms, double hz) {
    const int frames = 44100 * ms / 1000;
    QByteArray data;
    data.reserve(frames * 4);
    for (int i = 0; i < frames; ++i) {
        const auto v = static_cast<qint16>(8000 * std::sin(2 * M_PI * hz * i / 44100.0));
        data += le(quint16(v), 2);
        data += le(quint16(v), 2);
    }
    QByteArray wav = "RIFF" + le(36 + data.size(), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) +
                     le(2, 2) + le(44100, 4) + le(44100 * 4, 4) + le(4, 2) + le(16, 2) + "data" +
                     le(data.size(), 4);
    return wav + data;
}

QString encode(const QString& dir, const QString& name, int ms, double hz, bool mp2) {
    const QString tool = QStandardPaths::findExecutable(mp2 ? "twolame" : "lame");
    if (tool.isEmpty()) return {};
    const QString wav = QDir(dir).filePath(name + ".wav");
    const QString out = QDir(dir).filePath(name);
    writeBytes(wav, tone(ms, hz));
    QProcess p;
    if (mp2)
        p.start(tool, {"--quiet", "-b", "192", wav, out});
    else
        p.start(tool, {"--quiet", "-b", "128", "--cbr", wav, out});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) return {};
    QFile::remove(wav);
    return out;
}

}  // namespace

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

const Media& media() {
    static QTemporaryDir dir;
    static const Media m = [] {
        Media r;
        r.folder = dir.path();
        r.mp3Short = encode(dir.path(), "short.mp3", 1500, 440, false);
        r.mp3Long = encode(dir.path(), "long.mp3", 14000, 523, false);
        r.mp2Short = encode(dir.path(), "short.mp2", 1500, 660, true);
        return r;
    }();
    return m;
}

bool waitFor(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

}  // namespace ombrix::test
