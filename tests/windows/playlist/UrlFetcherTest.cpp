// Web addresses added to the playlist window are fetched in the background from a real local
// server; a server that never answers leaves everything responsive.
#include <gtest/gtest.h>

#include <QFileInfo>

#include "ombrix/windows/playlist/UrlFetcher.h"
#include "support/ControllerRig.h"
#include "support/Files.h"
#include "support/HttpServer.h"

namespace ombrix::test {
namespace {

TEST(UrlFetcher, DownloadsInTheBackgroundAndTellsWhatHappens) {
    ControllerRig rig;
    const QByteArray body(300 * 1024, 'm');
    HttpServer server;
    server.documents["/music/a.mp3"] = server.documents["/music/b.mp3"] = body;
    const QString folder = rig.home.filePath("file");
    UrlFetcher fetcher(*rig.store, folder);
    QStringList texts;
    QObject::connect(&fetcher, &UrlFetcher::status, [&](const QString& t) { texts << t; });
    fetcher.fetch(server.url("/music/a.mp3"));
    fetcher.fetch(server.url("/music/b.mp3"));
    EXPECT_TRUE(fetcher.busy()) << "fetch() returns at once";
    ASSERT_TRUE(waitFor([&] { return !fetcher.busy(); }));
    EXPECT_EQ(readFile(folder + "/a.mp3"), body);
    EXPECT_EQ(readFile(folder + "/b.mp3"), body);
    EXPECT_TRUE(texts.contains("downloaded a.mp3"));
    EXPECT_TRUE(texts.filter("downloading b.mp3: ").size() > 0) << "progress is shown";
    fetcher.fetch(server.url("/music/a.mp3"));
    EXPECT_EQ(texts.last(), "a.mp3 is already downloaded");
}

TEST(UrlFetcher, AServerThatNeverAnswersBlocksNothing) {
    ControllerRig rig;
    HttpServer server;
    server.silent = true;
    auto fetcher = std::make_unique<UrlFetcher>(*rig.store, rig.home.filePath("file"));
    QStringList texts;
    QObject::connect(fetcher.get(), &UrlFetcher::status, [&](const QString& t) { texts << t; });
    fetcher->fetch(server.url("/music/never.mp3"));
    waitFor([] { return false; }, 300);  // the event loop keeps turning meanwhile
    EXPECT_TRUE(fetcher->busy());
    EXPECT_EQ(texts.last(), "downloading never.mp3");
    fetcher.reset();  // closing the program abandons it without waiting
    EXPECT_FALSE(QFileInfo::exists(rig.home.filePath("file/never.mp3")));
}

}  // namespace
}  // namespace ombrix::test
