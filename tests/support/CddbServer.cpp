#include "support/CddbServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace ombrix::test {

struct CddbServer::Client {
    QByteArray pending;
    bool inRecord = false;
};

CddbServer::CddbServer() {
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, &CddbServer::accept);
}

QList<QByteArray> CddbServer::split(const QByteArray& text, int count) {
    QList<QByteArray> out;
    const qsizetype size = (text.size() + count - 1) / count;
    for (qsizetype at = 0; at < text.size(); at += size) out.append(text.mid(at, size));
    return out;
}

namespace {

void sendPieces(QPointer<QTcpSocket> s, QList<QByteArray> pieces, bool closeAfter, int delayMs) {
    if (!s) return;
    if (pieces.isEmpty()) {
        if (closeAfter) {
            s->flush();
            s->disconnectFromHost();
        }
        return;
    }
    s->write(pieces.takeFirst());
    s->flush();
    QTimer::singleShot(delayMs, s, [s, pieces, closeAfter, delayMs] {
        sendPieces(s, pieces, closeAfter, delayMs);
    });
}

}  // namespace

void CddbServer::accept() {
    while (QTcpSocket* raw = nextPendingConnection()) {
        ++connections;
        QPointer<QTcpSocket> s(raw);
        connect(raw, &QTcpSocket::disconnected, raw, &QObject::deleteLater);
        raw->write(greeting);
        if (flood > 0) {
            const QByteArray chunk(64 * 1024, 'x');
            for (qint64 sent = 0; sent < flood; sent += chunk.size()) raw->write(chunk);
        }
        auto client = std::make_shared<Client>();
        connect(raw, &QTcpSocket::readyRead, this, [this, s, client] {
            if (!s) return;
            client->pending += s->readAll();
            for (;;) {
                const qsizetype lf = client->pending.indexOf('\n');
                if (lf < 0) break;
                QByteArray line = client->pending.left(lf);
                client->pending.remove(0, lf + 1);
                if (client->inRecord) {
                    submitted += line + '\n';
                    if (line.chopped(line.endsWith('\r') ? 1 : 0) == ".") {
                        client->inRecord = false;
                        s->write(writeDone);
                    }
                    continue;
                }
                if (line.endsWith('\r')) line.chop(1);
                commands.append(line);
                const QList<QByteArray> w = line.split(' ');
                const QByteArray verb = w.size() >= 2 ? w[0] + ' ' + w[1] : line;
                if (verb == "cddb hello") {
                    s->write("200 Hello and welcome " + (w.size() > 3 ? w[2] + '@' + w[3] : "") +
                             ".\r\n");
                    continue;
                }
                const auto it = replies.constFind(verb);
                if (it == replies.cend()) continue;
                if (verb == "cddb write" && !it->pieces.isEmpty() &&
                    it->pieces.first().startsWith("320"))
                    client->inRecord = true;
                sendPieces(s, it->pieces, it->closeAfter, pieceDelayMs);
            }
        });
    }
}

}  // namespace ombrix::test
