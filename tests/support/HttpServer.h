#pragma once

#include <QHash>
#include <QStringList>
#include <QTcpServer>

namespace ombrix::test {

/**
 * An HTTP server on 127.0.0.1 for downloads. By default it answers GET requests from a table of
 * paths, both plain ("GET /a.mp3") and through a proxy ("GET http://host/a.mp3"), and keeps the
 * request lines. A set @p rawReply is sent as it is and the connection stays open (a server that
 * trickles or never ends); @p silent reads requests and never answers. Runs on the test's thread.
 */
class HttpServer : public QTcpServer {
public:
    HttpServer();
    QString url(const QString& path) const;

    QHash<QString, QByteArray> documents;  // by path ("/a.mp3")
    QStringList requestLines;
    QByteArray rawReply;
    bool silent = false;

private:
    void answer(QTcpSocket* s, const QByteArray& request);
};

}  // namespace ombrix::test
