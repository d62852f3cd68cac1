#include "TestSupport.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QUrl>
#include <cmath>

namespace ombrix::test {

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

QByteArray le32(quint32 v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = char(v >> (8 * i));
    return b;
}

QByteArray le16(quint16 v) {
    QByteArray b(2, '\0');
    b[0] = char(v);
    b[1] = char(v >> 8);
    return b;
}

QByteArray pcmWave(int ms, int rate) {
    const int frames = int(qint64(rate) * ms / 1000);
    QByteArray data;
    data.reserve(frames * 4);
    for (int i = 0; i < frames; ++i) {
        const auto s = qint16(3000 * std::sin(2 * M_PI * 440.0 * i / rate));
        data += le16(quint16(s));
        data += le16(quint16(s));
    }
    QByteArray w("RIFF");
    w += le32(quint32(36 + data.size()));
    w += "WAVEfmt ";
    w += le32(16);
    w += le16(1);
    w += le16(2);
    w += le32(quint32(rate));
    w += le32(quint32(rate * 4));
    w += le16(4);
    w += le16(16);
    w += "data";
    w += le32(quint32(data.size()));
    w += data;
    return w;
}

QString makeMp3(const QString& dir, const QString& name, int ms) {
    const QString lame = QStandardPaths::findExecutable(QStringLiteral("lame"));
    if (lame.isEmpty()) return {};
    const QString wav = QDir(dir).filePath(name + QStringLiteral(".src.wav"));
    const QString mp3 = QDir(dir).filePath(name);
    writeFile(wav, pcmWave(ms));
    QProcess p;
    p.start(lame, {"--quiet", "-b", "128", "--cbr", wav, mp3});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) return {};
    QFile::remove(wav);
    return mp3;
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
        QByteArray h;
        h += "-lh0-";
        h += le32(quint32(data.size()));
        h += le32(quint32(data.size()));
        h += le32(0x00210000);  // 1980-01-01 00:00
        h += char(0x20);        // attribute: archive
        h += char(0);           // header level 0
        h += char(name.size());
        h += name;
        h += le16(crc16(data));
        quint8 sum = 0;
        for (const char c : h) sum = quint8(sum + quint8(c));
        out += char(h.size());
        out += char(sum);
        out += h;
        out += data;
    }
    out += char(0);
    return out;
}

void zipArchive(const QString& path, const QList<QPair<QByteArray, QByteArray>>& members) {
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr);
    std::vector<QByteArray> keep;  // libzip reads the buffers at zip_close
    keep.reserve(members.size());
    for (const auto& [name, data] : members) {
        keep.push_back(data);
        zip_source_t* src = zip_source_buffer(z, keep.back().constData(), keep.back().size(), 0);
        ASSERT_NE(src, nullptr);
        ASSERT_GE(zip_file_add(z, name.constData(), src, ZIP_FL_ENC_UTF_8), 0);
    }
    ASSERT_EQ(zip_close(z), 0);
}

HttpTestServer::HttpTestServer() {
    connect(this, &QTcpServer::newConnection, this, &HttpTestServer::onConnection);
    listen(QHostAddress::LocalHost, 0);
}

QString HttpTestServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
}

void HttpTestServer::onConnection() {
    while (QTcpSocket* s = nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QTcpSocket::readyRead, s, [this, s, buffer] {
            *buffer += s->readAll();
            if (!buffer->contains("\r\n\r\n")) return;
            const QByteArray line = buffer->left(buffer->indexOf("\r\n"));
            buffer->clear();
            requestLines.append(QString::fromLatin1(line));
            QString target = QString::fromLatin1(line.split(' ').value(1));
            if (target.startsWith(QLatin1String("http://"))) target = QUrl(target).path();
            QByteArray reply;
            if (documents.contains(target)) {
                const QByteArray& body = documents[target];
                reply =
                    "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                    "Content-Length: " +
                    QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
            } else {
                reply =
                    "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\n"
                    "not found";
            }
            s->write(reply);
            s->disconnectFromHost();
        });
    }
}

}  // namespace ombrix::test
