#pragma once

#include <QNetworkProxy>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include "ombrix/library/CddbSession.h"

namespace ombrix {

class DiscRecord;

/**
 * @brief Carries the CDDB exchanges of one disc record over TCP: connects, writes what the
 *        CddbSession asks for, feeds it what arrives and closes when it says so. Every call
 *        returns at once; the end of an exchange is the finished() signal.
 *
 * Each wait for the server (the connection, the greeting, every reply) is limited to
 * replyTimeoutMs(); a silent server ends the exchange as failed.
 * Thread affinity: main thread; @p record must outlive the client.
 */
class CddbClient : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultReplyTimeoutMs = 15000;

    explicit CddbClient(DiscRecord& record, QObject* parent = nullptr,
                        CddbSession::Limits limits = {});
    ~CddbClient() override;

    /// The proxy of the settings' "proxy" and "proxyport" (an HTTP proxy that tunnels the
    /// connection), or no proxy when "proxy" is empty.
    static QNetworkProxy proxyFor(const QString& proxy, const QString& proxyPort);
    void setProxy(const QNetworkProxy& proxy) { socket_.setProxy(proxy); }
    void setReplyTimeoutMs(int ms) { timer_.setInterval(ms); }
    int replyTimeoutMs() const { return timer_.interval(); }

    /// Asks for the record's disc ID; a match is kept in the record and the connection stays
    /// open for read().
    void query(const QString& host, const QString& port);
    /// Reads @p category and the record's disc ID into the record.
    void read(const QString& host, const QString& port, const QString& category);
    /// Sends the record unless it is already on the server (then finished() follows at once).
    void submit(const QString& host, const QString& port);
    /// Ends the connection (one left open by a query) and any exchange, without finished().
    void close();

    bool busy() const noexcept { return session_.running(); }
    const CddbSession::Result& result() const noexcept { return session_.result(); }

signals:
    void status(const QString& text);
    /// The exchange ended; result() tells how. Always delivered after the call that started it
    /// has returned.
    void finished(const ombrix::CddbSession::Result& result);

private:
    void start(const CddbSession::Step& step, const QString& host, const QString& port);
    void apply(const CddbSession::Step& step);
    void arrived();
    void socketError(QAbstractSocket::SocketError error);
    void socketClosed();

    CddbSession session_;
    QTcpSocket socket_;
    QTimer timer_;
    QString host_;
    QString port_;
};

}  // namespace ombrix
