#include "support/HttpServer.h"

#include <QTcpSocket>
#include <QUrl>
#include <memory>

namespace ombrix::test {

HttpServer::HttpServer() {
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QTcpSocket::readyRead, s, [this, s, buffer] {
                *buffer += s->readAll();
                if (!buffer->contains("\r\n\r\n")) return;
                answer(s, std::exchange(*buffer, QByteArray()));
            });
        }
    });
    listen(QHostAddress::LocalHost, 0);
}

QString HttpServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
}

void HttpServer::answer(QTcpSocket* s, const QByteArray& request) {
    if (silent) return;
    if (!rawReply.isEmpty()) {
        s->write(rawReply);
        return;
    }
    const QByteArray line = request.left(request.indexOf("\r\n"));
    requestLines.append(QString::fromLatin1(line));
    QString target = QString::fromLatin1(line.split(' ').value(1));
    if (target.startsWith(QLatin1String("http://"))) target = QUrl(target).path();
    const auto doc = documents.constFind(target);
    if (doc != documents.cend())
        s->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                 QByteArray::number(doc->size()) + "\r\nConnection: close\r\n\r\n" + *doc);
    else
        s->write(
            "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found");
    s->disconnectFromHost();
}

}  // namespace ombrix::test
