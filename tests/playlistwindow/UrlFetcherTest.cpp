// Web addresses added to the playlist window are fetched in the background from a real local
// server; a server that never answers leaves everything responsive.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include "ControllerRig.h"
#include "TestSupport.h"
#include "ombrix/windows/playlist/UrlFetcher.h"

namespace ombrix::test {
namespace {

/// Answers every request with @p body, or (silent) reads it and says nothing.
class LocalServer : public QTcpServer {
public:
    LocalServer(QByteArray body, bool silent) : body_(std::move(body)), silent_(silent) {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    if (!s->readAll().contains("\r\n\r\n") || silent_) return;
                    s->write("HTTP/1.0 200 OK\r\nContent-Length: " +
                             QByteArray::number(body_.size()) + "\r\n\r\n" + body_);
                    s->disconnectFromHost();
                });
            }
        });
        listen(QHostAddress::LocalHost);
    }
    QString url(const QString& name) const {
        return QString("http://127.0.0.1:%1/music/%2").arg(serverPort()).arg(name);
    }

private:
    QByteArray body_;
    bool silent_;
};

TEST(UrlFetcher, DownloadsInTheBackgroundAndTellsWhatHappens) {
    ControllerRig rig;
    const QByteArray body(300 * 1024, 'm');
    LocalServer server(body, false);
    const QString folder = rig.home.filePath("file");
    UrlFetcher fetcher(*rig.store, folder);
    QStringList texts;
    QObject::connect(&fetcher, &UrlFetcher::status, [&](const QString& t) { texts << t; });
    fetcher.fetch(server.url("a.mp3"));
    fetcher.fetch(server.url("b.mp3"));
    EXPECT_TRUE(fetcher.busy()) << "fetch() returns at once";
    ASSERT_TRUE(waitFor([&] { return !fetcher.busy(); }));
    EXPECT_EQ(readFile(folder + "/a.mp3"), body);
    EXPECT_EQ(readFile(folder + "/b.mp3"), body);
    EXPECT_TRUE(texts.contains("downloaded a.mp3"));
    EXPECT_TRUE(texts.filter("downloading b.mp3: ").size() > 0) << "progress is shown";
    fetcher.fetch(server.url("a.mp3"));
    EXPECT_EQ(texts.last(), "a.mp3 is already downloaded");
}

TEST(UrlFetcher, AServerThatNeverAnswersBlocksNothing) {
    ControllerRig rig;
    LocalServer server({}, true);
    auto fetcher = std::make_unique<UrlFetcher>(*rig.store, rig.home.filePath("file"));
    QStringList texts;
    QObject::connect(fetcher.get(), &UrlFetcher::status, [&](const QString& t) { texts << t; });
    fetcher->fetch(server.url("never.mp3"));
    waitFor([] { return false; }, 300);  // the event loop keeps turning meanwhile
    EXPECT_TRUE(fetcher->busy());
    EXPECT_EQ(texts.last(), "downloading never.mp3");
    fetcher.reset();  // closing the program abandons it without waiting
    EXPECT_FALSE(QFileInfo::exists(rig.home.filePath("file/never.mp3")));
}

}  // namespace
}  // namespace ombrix::test
