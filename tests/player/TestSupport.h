#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <cstdint>
#include <vector>

namespace ombrix::test {

/// Writes @p bytes to @p path (creating folders); fails the test on error.
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

/// Little-endian 32-bit value as 4 bytes.
QByteArray le32(quint32 v);
QByteArray le16(quint16 v);

/// A 16-bit stereo PCM WAVE file of @p ms milliseconds of a quiet tone.
QByteArray pcmWave(int ms, int rate = 44100);
/// Runs lame on a generated WAVE; an empty string when lame is missing or fails.
QString makeMp3(const QString& dir, const QString& name, int ms);

/// An uncompressed ("-lh0-", level 0 header) LHA archive with the given members.
QByteArray lhaArchive(const QList<QPair<QByteArray, QByteArray>>& members);
/// A zip archive (through libzip) with the given members, stored at @p path.
void zipArchive(const QString& path, const QList<QPair<QByteArray, QByteArray>>& members);

/**
 * A small HTTP server on 127.0.0.1 that answers GET requests from a table of paths; it serves
 * both plain requests ("GET /a.mp3") and proxy requests ("GET http://host/a.mp3"), and keeps
 * the request lines it received. Runs on the test's thread (needs an event loop).
 */
class HttpTestServer : public QTcpServer {
public:
    HttpTestServer();
    QHash<QString, QByteArray> documents;  // by path ("/a.mp3")
    QStringList requestLines;
    QString url(const QString& path) const;

private:
    void onConnection();
};

}  // namespace ombrix::test
