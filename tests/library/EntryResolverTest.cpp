#include "ombrix/media/EntryResolver.h"

#include <gtest/gtest.h>
#include <sys/time.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "ombrix/media/HttpDownloader.h"
#include "ombrix/media/LhaArchive.h"
#include "ombrix/media/ZipArchive.h"
#include "support/Files.h"
#include "support/HttpServer.h"

using namespace ombrix;

namespace {

// The shipped order: the first eight extensions never count inside archives.
const QStringList kFlat{".zip", ".lzh", ".dmp", ".m3u", ".s3z", ".itz", ".mdz", ".xmz",
                        ".mp3", ".mp2", ".rmp", ".wav", ".mod", ".xm",  ".s3m", ".it"};

class EntryResolverTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    MediaIdentifier media{kFlat};
    TempRegister temps;

    // An extract named @p name in a folder of its own directly inside the temporary folder.
    bool isExtractIn(const QString& path, const QString& name) const {
        const QFileInfo fi(path);
        return fi.fileName() == name && QFileInfo(fi.path()).path() == dir.filePath("temp") &&
               fi.isFile();
    }

    EntryResolver::Config config() const {
        EntryResolver::Config c;
        c.tempFolder = dir.filePath("temp");
        c.downloadFolder = dir.filePath("home/file");
        return c;
    }
};

}  // namespace

TEST_F(EntryResolverTest, ZipMembersByOrdinal) {
    const QString zip = dir.filePath("album.zip");
    test::zipArchive(zip, {{"readme.txt", "hello"},
                           {"cd1/one.mp3", "ONE"},
                           {"list.m3u", "x"},  // not playable inside an archive
                           {"two.MP2", "TWO"},
                           {"../../escape.mp3", "THREE"}});
    EntryResolver r(config(), media, temps);
    const QString first = r.resolve(zip);
    EXPECT_TRUE(isExtractIn(first, "one.mp3"));
    EXPECT_EQ(test::readFile(first), "ONE");
    EXPECT_EQ(test::readFile(r.resolve(zip + "1")), "TWO");
    // A stored path cannot lead outside the temporary folder.
    const QString third = r.resolve(zip + "2");
    EXPECT_TRUE(isExtractIn(third, "escape.mp3"));
    EXPECT_EQ(test::readFile(third), "THREE");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("escape.mp3")));
    EXPECT_EQ(r.resolve(zip + "3"), "");
    EXPECT_EQ(temps.names().size(), 3);
    EXPECT_EQ(EntryResolver::splitArchiveEntry("/m/a.ZIP12"),
              (std::pair<QString, int>{"/m/a.ZIP", 12}));
    // A damaged archive resolves to nothing instead of failing.
    test::writeFile(dir.filePath("bad.zip"), "PK\x03\x04 garbage");
    EXPECT_EQ(r.resolve(dir.filePath("bad.zip")), "");
    temps.deleteAll();
    EXPECT_FALSE(QFileInfo::exists(first));
}

TEST_F(EntryResolverTest, LhaMembersAndCompressedModules) {
    const QString lzh = dir.filePath("pack.lzh");
    test::writeFile(lzh, test::lhaArchive({{"notes.txt", "n"}, {"song.mp3", "LHA-SONG"}}));
    const LhaArchive lha(lzh);
    ASSERT_EQ(lha.members().size(), 2);
    EXPECT_EQ(lha.members()[1].name, "song.mp3");
    EntryResolver r(config(), media, temps);
    const QString song = r.resolve(lzh);
    EXPECT_TRUE(isExtractIn(song, "song.mp3"));
    EXPECT_EQ(test::readFile(song), "LHA-SONG");
    test::writeFile(dir.filePath("none.lzh"), test::lhaArchive({{"a.txt", "x"}}));
    EXPECT_EQ(r.resolve(dir.filePath("none.lzh")), "");
    test::writeFile(dir.filePath("junk.lzh"), "this is not an archive");
    EXPECT_EQ(r.resolve(dir.filePath("junk.lzh")), "");

    const QString mdz = dir.filePath("tune.mdz");
    test::zipArchive(mdz, {{"other.mod", "no"}, {"TUNE.MOD", "MODULE"}});
    const QString mod = r.resolve(mdz);
    EXPECT_TRUE(isExtractIn(mod, "tune.mod"));
    EXPECT_EQ(test::readFile(mod), "MODULE");
}

TEST_F(EntryResolverTest, TemporaryFileLimit) {
    QList<QPair<QByteArray, QByteArray>> members;
    for (int i = 0; i < 11; ++i)
        members.append({QByteArray("s") + QByteArray::number(i) + ".mp3", "x"});
    const QString zip = dir.filePath("many.zip");
    test::zipArchive(zip, members);
    auto c = config();
    c.glbtemp10 = true;
    EntryResolver r(c, media, temps);
    const QString oldest = r.resolve(zip);
    QString newest;
    for (int i = 1; i < 11; ++i) newest = r.resolve(zip + QString::number(i));
    EXPECT_EQ(temps.names().size(), TempRegister::kLimit);
    EXPECT_FALSE(QFileInfo::exists(oldest));  // the oldest went, with its folder
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(oldest).path()));
    EXPECT_TRUE(QFileInfo::exists(newest));
}

namespace {

/// What the controller does with a web address: fetch without blocking, then resolve.
QString fetch(EntryResolver& r, const QString& url) {
    if (r.needsDownload(url)) {
        const auto d = r.startDownload(url);
        bool done = false;
        QObject::connect(d.get(), &HttpDownloader::finished, [&] { done = true; });
        if (!test::waitFor([&] { return done; })) return {};
    }
    return r.resolve(url);
}

}  // namespace

TEST_F(EntryResolverTest, DownloadsDirectAndThroughProxy) {
    test::HttpServer server;
    ASSERT_TRUE(server.isListening());
    server.documents["/music/web.mp3"] = "WEB-BYTES";
    EntryResolver r(config(), media, temps);
    EXPECT_TRUE(r.needsDownload(server.url("/music/web.mp3")));
    EXPECT_THROW(r.resolve(server.url("/music/web.mp3")), DownloadError) << "never blocks";
    const QString got = fetch(r, server.url("/music/web.mp3"));
    EXPECT_EQ(QFileInfo(got).path(), dir.filePath("home/file"));
    EXPECT_TRUE(got.endsWith("-web.mp3")) << got.toStdString();
    EXPECT_EQ(test::readFile(got), "WEB-BYTES");
    // A second resolve uses the copy on disk.
    EXPECT_FALSE(r.needsDownload(server.url("/music/web.mp3")));
    EXPECT_EQ(fetch(r, server.url("/music/web.mp3")), got);
    EXPECT_EQ(server.requestLines.size(), 1);
    // Another address ending in the same name is another document, fetched on its own.
    server.documents["/other/web.mp3"] = "OTHER-BYTES";
    const QString other = fetch(r, server.url("/other/web.mp3"));
    EXPECT_NE(other, got);
    EXPECT_EQ(test::readFile(other), "OTHER-BYTES");
    EXPECT_EQ(server.requestLines.size(), 2);

    EXPECT_THROW(fetch(r, server.url("/missing.mp3")), DownloadError);
    EXPECT_TRUE(QDir(dir.filePath("home/file")).entryList({"*missing*"}).isEmpty());

    // The copies are temporary files: they go with the others.
    temps.deleteAll();
    EXPECT_FALSE(QFileInfo::exists(got));
    EXPECT_FALSE(QFileInfo::exists(other));

    test::HttpServer proxy;
    proxy.documents["/via/proxy.mp3"] = "PROXIED";
    auto c = config();
    c.proxy = "127.0.0.1";
    c.proxyport = proxy.serverPort();
    EntryResolver viaProxy(c, media, temps);
    // The host does not exist: only a proxy can answer.
    const QString p = fetch(viaProxy, "http://media.invalid/via/proxy.mp3");
    EXPECT_EQ(test::readFile(p), "PROXIED");
    ASSERT_EQ(proxy.requestLines.size(), 1);
    EXPECT_TRUE(proxy.requestLines[0].startsWith("GET http://media.invalid/via/proxy.mp3"));
}

TEST_F(EntryResolverTest, TheDownloadFolderIsKeptUnderItsSize) {
    // Old copies beyond the cache's size go, oldest first, before a new download.
    auto c = config();
    c.downloadLimitBytes = EntryResolver::kMaxDownloadCacheBytes / 2;
    const QString folder = c.downloadFolder;
    QDir().mkpath(folder);
    const qint64 big = EntryResolver::kMaxDownloadCacheBytes / 3;
    const QStringList names{"old", "middle", "new"};
    for (int i = 0; i < names.size(); ++i) {
        QFile f(QDir(folder).filePath(names[i]));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(big));  // sparse: no real disk space
        f.setFileTime(QDateTime::currentDateTime().addSecs(i - 10),
                      QFileDevice::FileModificationTime);
    }
    test::HttpServer server;
    server.documents["/a.mp3"] = "A";
    EntryResolver r(c, media, temps);
    EXPECT_EQ(test::readFile(fetch(r, server.url("/a.mp3"))), "A");
    EXPECT_FALSE(QFileInfo::exists(QDir(folder).filePath("old")));
    EXPECT_FALSE(QFileInfo::exists(QDir(folder).filePath("middle")));
    EXPECT_TRUE(QFileInfo::exists(QDir(folder).filePath("new")));
}

TEST(HttpDownloader, DocumentNamesNeverLeaveTheFolder) {
    EXPECT_EQ(HttpDownloader::documentName("http://h/a/b/song.mp3?x=1#f"), "song.mp3");
    EXPECT_EQ(HttpDownloader::documentName("http://h/..%2F"), "..%2F");
    EXPECT_EQ(HttpDownloader::documentName("http://h/a/.."), "index.html");
}

TEST(ZipArchive, MembersThatCannotFitOnTheDiskAreRefused) {
    QTemporaryDir dir;
    const QString dest = dir.filePath("song.mp3");
    EXPECT_NO_THROW(ensureRoomFor({"song.mp3", 4096}, dest));
    EXPECT_THROW(ensureRoomFor({"bomb.mp3", qint64{1} << 60}, dest), ArchiveError);
    EXPECT_FALSE(QFileInfo::exists(dest));
}

namespace {

struct Outcome {
    bool ok = true;
    int status = 0;
    QString file;
    qint64 lastReceived = -1;
    bool started = false;
};

Outcome download(HttpDownloader& d, const QString& url, const QString& folder) {
    Outcome o;
    QObject::connect(&d, &HttpDownloader::started, [&](const QString&) { o.started = true; });
    QObject::connect(&d, &HttpDownloader::finished, [&](bool ok, int status, const QString& f) {
        o.ok = ok, o.status = status, o.file = f;
    });
    QObject::connect(&d, &HttpDownloader::progress,
                     [&](qint64 received, qint64) { o.lastReceived = received; });
    bool done = false;
    QObject::connect(&d, &HttpDownloader::finished, [&] { done = true; });
    d.start(url, folder);
    test::waitFor([&] { return done; });
    return o;
}

}  // namespace

TEST(HttpDownloader, SizeLimitAndDeadlineEndDownloads) {
    QTemporaryDir dir;
    test::HttpServer server;
    server.documents["/big.mp3"] = QByteArray(5000, 'b');
    {
        HttpDownloader d;
        const Outcome o = download(d, server.url("/big.mp3"), dir.filePath("file"));
        EXPECT_TRUE(o.ok);
        EXPECT_TRUE(o.started);
        EXPECT_EQ(o.file, dir.filePath("file/big.mp3"));
        EXPECT_EQ(test::readFile(o.file).size(), 5000);
        EXPECT_EQ(o.lastReceived, 5000);
    }
    {
        HttpDownloader d;
        const Outcome o = download(d, server.url("/none.mp3"), dir.filePath("file"));
        EXPECT_FALSE(o.ok);
        EXPECT_FALSE(o.started);
        EXPECT_EQ(o.status, 404);
        EXPECT_FALSE(QFileInfo::exists(o.file));
    }
    QFile::remove(dir.filePath("file/big.mp3"));
    {
        // The announced size is over the limit.
        HttpDownloader d;
        d.setLimits(4000, 0);
        const Outcome o = download(d, server.url("/big.mp3"), dir.filePath("file"));
        EXPECT_FALSE(o.ok);
        EXPECT_TRUE(d.lastError().contains("larger")) << d.lastError().toStdString();
        EXPECT_FALSE(QFileInfo::exists(o.file));
    }
    test::HttpServer endless;
    endless.rawReply =
        "HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + QByteArray(6000, 's');
    {
        // No size is announced; the bytes received pass the limit.
        HttpDownloader d;
        d.setLimits(4000, 0);
        const Outcome o = download(d, endless.url("/stream.mp3"), dir.filePath("file"));
        EXPECT_FALSE(o.ok);
        EXPECT_FALSE(QFileInfo::exists(o.file));
    }
    {
        // A server that stops sending, but not long enough for the stall timeout.
        HttpDownloader d;
        d.setLimits(0, 300);
        const Outcome o = download(d, endless.url("/slow.mp3"), dir.filePath("file"));
        EXPECT_FALSE(o.ok);
        EXPECT_TRUE(d.lastError().contains("longer")) << d.lastError().toStdString();
        EXPECT_FALSE(QFileInfo::exists(o.file));
    }
}

TEST_F(EntryResolverTest, MembersAreHeldToTheExtractLimitAndStaleExtractsAreSwept) {
    const QString zip = dir.filePath("big.zip");
    test::zipArchive(zip, {{"small.mp3", "S"}, {"large.mp3", QByteArray(3000, 'L')}});
    auto c = config();
    c.extractLimitBytes = 2000;
    EntryResolver r(c, media, temps);
    EXPECT_EQ(test::readFile(r.resolve(zip)), "S");
    EXPECT_THROW(r.resolve(zip + "1"), ExtractLimitError);

    // What a crashed run left: extract folders, old and new, beside other things.
    const QString temp = c.tempFolder;
    const QString old = QDir(temp).filePath("0123456789abcdef");
    const QString young = QDir(temp).filePath("fedcba9876543210");
    const QString other = QDir(temp).filePath("keep-me");
    QTemporaryDir outside;
    test::writeFile(QDir(outside.path()).filePath("precious"), "P");
    for (const QString& f : {old, young, other}) {
        ASSERT_TRUE(QDir().mkpath(f));
        test::writeFile(QDir(f).filePath("x.mp3"), "X");
    }
    ASSERT_TRUE(QFile::link(outside.path(), QDir(old).filePath("link")));
    const QString linked = QDir(temp).filePath("00000000deadbeef");
    ASSERT_TRUE(QFile::link(outside.path(), linked));
    const timeval hourAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
    for (const QString& f : {old, other, linked})
        ASSERT_EQ(::lutimes(QFile::encodeName(f).constData(), hourAgo), 0);

    EXPECT_EQ(EntryResolver::sweepStaleExtracts(temp, 600), 1);
    EXPECT_FALSE(QFileInfo::exists(old));
    EXPECT_TRUE(QFileInfo::exists(QDir(young).filePath("x.mp3"))) << "perhaps still in use";
    EXPECT_TRUE(QFileInfo::exists(QDir(other).filePath("x.mp3")));
    EXPECT_TRUE(QFileInfo(linked).isSymLink());
    EXPECT_EQ(test::readFile(QDir(outside.path()).filePath("precious")), "P");
}
