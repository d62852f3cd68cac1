#include "support/Files.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <vector>

namespace ombrix::test {

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray le16(quint16 v) {
    QByteArray b(2, '\0');
    b[0] = char(v);
    b[1] = char(v >> 8);
    return b;
}

QByteArray le32(quint32 v) {
    return le16(quint16(v)) + le16(quint16(v >> 16));
}

QByteArray syncsafe(quint32 v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = char((v >> (7 * (3 - i))) & 0x7F);
    return b;
}

QByteArray id3v1(const QByteArray& title, const QByteArray& artist, const QByteArray& album,
                 const QByteArray& year, const QByteArray& comment, quint8 genre) {
    const auto field = [](const QByteArray& b, int n) { return b.left(n).leftJustified(n, '\0'); };
    return "TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + field(year, 4) +
           field(comment, 30) + char(genre);
}

QByteArray id3v2Frame(int version, const QByteArray& id, const QByteArray& text) {
    const QByteArray body = QByteArray(1, version == 4 ? '\3' : '\0') + text;
    const auto n = quint32(body.size());
    if (version == 2) return id.left(3) + char(n >> 16) + char(n >> 8) + char(n) + body;
    QByteArray size = syncsafe(n);
    if (version == 3)
        for (int i = 0; i < 4; ++i) size[i] = char(n >> (8 * (3 - i)));
    return id + size + QByteArray(2, '\0') + body;
}

QByteArray id3v2(int version, const QByteArray& frames, int padding, quint8 flags) {
    return QByteArray("ID3") + char(version) + '\0' + char(flags) +
           syncsafe(quint32(frames.size() + padding)) + frames + QByteArray(padding, '\0');
}

QByteArray pcmWave(int ms, QList<double> hz, double amplitude) {
    const int frames = int(44100LL * ms / 1000);
    QByteArray data;
    data.reserve(frames * 4);
    for (int i = 0; i < frames; ++i) {
        double v = 0;
        for (double f : hz) v += amplitude * std::sin(2 * M_PI * f * i / 44100.0);
        const QByteArray s = le16(quint16(qint16(v)));
        data += s + s;
    }
    return "RIFF" + le32(quint32(36 + data.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(2) +
           le32(44100) + le32(44100 * 4) + le16(4) + le16(16) + "data" +
           le32(quint32(data.size())) + data;
}

qint16 discSample(int track, qint64 frame) {
    return qint16(8000 * std::sin(2 * M_PI * 220.0 * track * double(frame) / 44100.0));
}

QString discImage(const QString& folder, const QList<int>& trackSectors, const QStringList& titles,
                  bool dataFirst) {
    QByteArray bin;
    QByteArray cue = "FILE \"disc.bin\" BINARY\n";
    if (!titles.isEmpty())
        cue = "TITLE \"" + titles[0].toUtf8() + "\"\nPERFORMER \"Test Band\"\n" + cue;
    int sector = 0;
    for (int t = 1; t <= trackSectors.size(); ++t) {
        const bool data = dataFirst && t == 1;
        const QByteArray msf =
            QString::asprintf("%02d:%02d:%02d", sector / 75 / 60, sector / 75 % 60, sector % 75)
                .toLatin1();
        cue += QString::asprintf("  TRACK %02d %s\n", t, data ? "MODE1/2352" : "AUDIO").toLatin1();
        if (t < titles.size()) cue += "    TITLE \"" + titles[t].toUtf8() + "\"\n";
        cue += "    INDEX 01 " + msf + "\n";
        const qint64 frames = qint64(trackSectors[t - 1]) * 588;
        for (qint64 f = 0; f < frames; ++f) {
            const QByteArray s = data ? QByteArray(2, '\x5a') : le16(quint16(discSample(t, f)));
            bin += s + s;
        }
        sector += trackSectors[t - 1];
    }
    writeFile(folder + "/disc.bin", bin);
    writeFile(folder + "/disc.cue", cue);
    return folder + "/disc.cue";
}

QByteArray midiTune() {
    const QByteArray track = QByteArray::fromHex(
        "00c000"          // piano
        "00903c64"        // C on
        "60803c00"        // 96 ticks (0.5 s) later off
        "00904064"        // E on
        "60804000"        // off at 1 s
        "00ff510303d090"  // 250000 us a quarter from tick 192
        "00904364"        // G on
        "60804300"        // off 0.25 s later
        "00ff2f00");      // end of track
    const auto be32 = [](quint32 v) {
        const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        return QByteArray(b, 4);
    };
    return "MThd" + be32(6) + QByteArray::fromHex("000000010060") + "MTrk" +
           be32(quint32(track.size())) + track;
}

bool encode(const QByteArray& wave, const QString& mp3, int kbps, bool layer2) {
    const QString tool = QStandardPaths::findExecutable(layer2 ? "twolame" : "lame");
    if (tool.isEmpty()) return false;
    const QString wav = mp3 + ".src.wav";
    writeFile(wav, wave);
    QStringList args{"--quiet", "-b", QString::number(kbps)};
    if (!layer2) args << "--cbr";
    QProcess p;
    p.start(tool, args << wav << mp3);
    const bool ok = p.waitForFinished(120000) && p.exitCode() == 0;
    QFile::remove(wav);
    return ok;
}

namespace {

quint16 crc16(const QByteArray& data) {
    quint16 crc = 0;
    for (const char ch : data) {
        crc ^= quint8(ch);
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

}  // namespace

QByteArray lhaArchive(const QList<QPair<QByteArray, QByteArray>>& members) {
    QByteArray out;
    for (const auto& [name, data] : members) {
        QByteArray h = "-lh0-" + le32(quint32(data.size())) + le32(quint32(data.size())) +
                       le32(0x00210000)  // 1980-01-01 00:00
                       + char(0x20)      // attribute: archive
                       + char(0)         // header level 0
                       + char(name.size()) + name + le16(crc16(data));
        quint8 sum = 0;
        for (const char c : h) sum = quint8(sum + quint8(c));
        out += char(h.size()) + QByteArray(1, char(sum)) + h + data;
    }
    return out + char(0);
}

void zipArchive(const QString& path, const QList<QPair<QByteArray, QByteArray>>& members,
                const QList<QByteArray>& links) {
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr);
    std::vector<QByteArray> keep;  // libzip reads the buffers at zip_close
    keep.reserve(size_t(members.size()));
    for (const auto& [name, data] : members) {
        keep.push_back(data);
        zip_source_t* src = zip_source_buffer(z, keep.back().constData(), keep.back().size(), 0);
        ASSERT_NE(src, nullptr);
        const zip_int64_t i = zip_file_add(z, name.constData(), src, ZIP_FL_ENC_UTF_8);
        ASSERT_GE(i, 0);
        if (links.contains(name))
            zip_file_set_external_attributes(z, zip_uint64_t(i), 0, ZIP_OPSYS_UNIX,
                                             zip_uint32_t(0120777) << 16);
    }
    ASSERT_EQ(zip_close(z), 0);
}

const Media& media() {
    static QTemporaryDir dir;
    static const Media m = [] {
        Media r;
        r.folder = dir.path();
        const auto make = [](const QString& path, int ms, double hz, int kbps, bool layer2) {
            return encode(pcmWave(ms, {hz}, 8000), path, kbps, layer2) ? path : QString();
        };
        r.mp3Short = make(dir.filePath("short.mp3"), 1500, 440, 128, false);
        r.mp3Long = make(dir.filePath("long.mp3"), 14000, 523, 128, false);
        r.mp2Short = make(dir.filePath("short.mp2"), 1500, 660, 192, true);
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
