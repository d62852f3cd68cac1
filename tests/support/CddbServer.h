#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QTcpServer>

namespace ombrix::test {

/**
 * A CDDB server on 127.0.0.1 speaking from canned replies, on the test's thread. It greets every
 * connection with @p greeting, answers "cddb hello" with a 200 line, and answers other command
 * lines by the first word pair ("cddb query", "cddb read", "cddb write") from @p replies: the
 * pieces are sent one by one with @p pieceDelayMs between them, and the connection is closed after
 * them when @p closeAfter is set. A command without a reply is not answered. After a 320 reply
 * the lines up to "." are kept as the submitted record and answered with @p writeDone.
 */
class CddbServer : public QTcpServer {
public:
    struct Reply {
        QList<QByteArray> pieces;
        bool closeAfter = false;
    };

    CddbServer();
    quint16 port() const { return serverPort(); }
    QString portText() const { return QString::number(serverPort()); }

    /// @p text cut into @p count pieces of nearly equal size.
    static QList<QByteArray> split(const QByteArray& text, int count);

    QByteArray greeting = "201 test.server CDDBP server v1.5PL0 ready at now\r\n";
    QHash<QByteArray, Reply> replies;  // by "cddb query" etc.
    QByteArray writeDone = "200 CDDB entry accepted\r\n";
    int pieceDelayMs = 5;
    /// Bytes sent after the greeting without a line end, in pieces of 64 KiB (a flooding server).
    qint64 flood = 0;

    QList<QByteArray> commands;  // the command lines received, without line ends
    QByteArray submitted;        // the bytes of a submitted record, "." line included
    int connections = 0;

private:
    struct Client;
    void accept();
};

}  // namespace ombrix::test
