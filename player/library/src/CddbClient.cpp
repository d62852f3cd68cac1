#include "ombrix/library/CddbClient.h"

#include <QHostInfo>

#include "ombrix/library/DiscRecord.h"

namespace ombrix {

CddbClient::CddbClient(DiscRecord& record, QObject* parent, CddbSession::Limits limits)
    : QObject(parent), session_(record, limits), socket_(this), timer_(this) {
    if (record.hostName() == QLatin1String("unknown"))
        record.setHostName(QHostInfo::localHostName());
    socket_.setProxy(QNetworkProxy::NoProxy);
    timer_.setSingleShot(true);
    timer_.setInterval(kDefaultReplyTimeoutMs);
    connect(&timer_, &QTimer::timeout, this, [this] { apply(session_.timedOut()); });
    connect(&socket_, &QTcpSocket::readyRead, this, &CddbClient::arrived);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &CddbClient::socketError);
    connect(&socket_, &QTcpSocket::disconnected, this, &CddbClient::socketClosed);
}

CddbClient::~CddbClient() {
    timer_.stop();
    socket_.disconnect(this);
    socket_.abort();
}

QNetworkProxy CddbClient::proxyFor(const QString& proxy, const QString& proxyPort) {
    if (proxy.trimmed().isEmpty()) return QNetworkProxy(QNetworkProxy::NoProxy);
    bool ok = false;
    const uint port = proxyPort.toUInt(&ok);
    return QNetworkProxy(QNetworkProxy::HttpProxy, proxy.trimmed(),
                         quint16(ok && port <= 65535 ? port : 80));
}

void CddbClient::query(const QString& host, const QString& port) {
    start(session_.beginQuery(host, port), host, port);
}

void CddbClient::read(const QString& host, const QString& port, const QString& category) {
    start(session_.beginRead(host, port, category), host, port);
}

void CddbClient::submit(const QString& host, const QString& port) {
    start(session_.beginSubmit(host, port), host, port);
}

void CddbClient::close() {
    timer_.stop();
    session_.closed();
    if (session_.running()) session_.connectionFailed(QStringLiteral("closed"));
    socket_.abort();
}

void CddbClient::start(const CddbSession::Step& step, const QString& host, const QString& port) {
    host_ = host;
    port_ = port;
    if (step.connect) {
        bool ok = false;
        const uint number = port.toUInt(&ok);
        socket_.abort();
        if (!ok || number == 0 || number > 65535) {
            for (const QString& s : step.status) emit status(s);
            apply(session_.connectionFailed(QStringLiteral("bad port")));
            return;
        }
        CddbSession::Step rest = step;
        rest.connect = false;
        socket_.connectToHost(host, quint16(number));
        apply(rest);
        return;
    }
    apply(step);
}

void CddbClient::apply(const CddbSession::Step& step) {
    for (const QString& s : step.status) emit status(s);
    if (!step.send.isEmpty()) socket_.write(step.send);
    if (step.close) socket_.abort();
    if (step.finished) {
        timer_.stop();
        // Delivered from the event loop, so a caller may start the next exchange in its slot.
        QMetaObject::invokeMethod(
            this, [this, result = session_.result()] { emit finished(result); },
            Qt::QueuedConnection);
    } else if (session_.running()) {
        timer_.start();
    }
}

void CddbClient::arrived() {
    apply(session_.received(socket_.readAll()));
}

void CddbClient::socketError(QAbstractSocket::SocketError error) {
    if (error == QAbstractSocket::RemoteHostClosedError) return;  // socketClosed() follows
    if (!session_.running()) return;
    apply(session_.connectionFailed(socket_.errorString()));
    socket_.abort();
}

void CddbClient::socketClosed() {
    // The last bytes may come with the end.
    if (session_.running() && socket_.bytesAvailable() > 0) arrived();
    apply(session_.connectionClosed());
}

}  // namespace ombrix
