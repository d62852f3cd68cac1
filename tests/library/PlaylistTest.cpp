#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "ombrix/library/DiscTitles.h"
#include "ombrix/library/Playlist.h"
#include "ombrix/library/PlaylistEntry.h"
#include "ombrix/library/PlaylistFile.h"
#include "ombrix/library/PlaylistOrder.h"
#include "ombrix/library/SongTag.h"
#include "ombrix/settings/TextFile.h"
#include "support/Files.h"

using namespace ombrix;

namespace {

class TwoTrackDisc : public DiscTitles {
public:
    int trackCount() const override { return 2; }
    QString discTitle() const override { return "Disc"; }
    QString trackTitle(int t) const override { return QString("Song %1").arg(t); }
    QString trackExtended(int t) const override { return t == 2 ? "Live" : ""; }
    qint32 trackLengthMs(int t) const override { return 61000 * t; }
};

SongLengthFn fixedLength(qint32 ms, int* calls = nullptr) {
    return [ms, calls](const QString&, qint64) {
        if (calls) ++*calls;
        return ms;
    };
}

}  // namespace

TEST(Playlist, TitleRules) {
    QTemporaryDir dir;
    const QString plain = dir.filePath("Song.mp3");
    test::writeFile(plain, QByteArray(400, '\x55'));
    int calls = 0;
    Playlist list(false, fixedLength(225400, &calls));
    EXPECT_EQ(list.buildTitle("http://host/a.mp3", true), "http://host/a.mp3");
    EXPECT_EQ(list.buildTitle("http://host/a.mp3", false), "http://host/a.mp3");
    EXPECT_EQ(list.buildTitle(plain, false), "Song.mp3");
    EXPECT_EQ(list.buildTitle(plain, true), "Song (3:45)");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(list.buildTitle(plain, true), "Song (3:45)");  // from the cache
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(list.buildTitle(plain, false), "Song (3:45)");

    const QString tagged = dir.filePath("tagged.mp3");
    test::writeFile(tagged, QByteArray(400, '\x55'));
    SongTag t;
    t.clear(tagged);
    t.title = "T";
    t.artist = "A";
    ASSERT_TRUE(t.write(tagged));
    EXPECT_EQ(list.buildTitle(tagged, true), "T / A (3:45)");
    const QString noArtist = dir.filePath("t2.mp3");
    test::writeFile(noArtist, QByteArray(400, '\x55'));
    t.artist = "";
    ASSERT_TRUE(t.write(noArtist));
    EXPECT_EQ(list.buildTitle(noArtist, true), "T (3:45)");

    // Other kinds: a tag gives a title without time; no tag keeps the file name.
    const QString wav = dir.filePath("w.wav");
    test::writeFile(wav, test::pcmWave(5));
    EXPECT_EQ(list.buildTitle(wav, true), "w.wav");
    t.title = "Wave";
    ASSERT_TRUE(t.write(wav));
    EXPECT_EQ(list.buildTitle(wav, true), "Wave");
    // A missing file keeps its name and is not cached.
    EXPECT_EQ(list.buildTitle(dir.filePath("gone.mp3"), true), "gone.mp3");
    EXPECT_FALSE(list.hasCachedTitle(dir.filePath("gone.mp3")));

    const TwoTrackDisc disc;
    list.setDisc(&disc);
    EXPECT_EQ(list.buildTitle("/dev/sr0/track03.cda", false), "not found (0:00)");
    EXPECT_EQ(list.buildTitle("/dev/sr0/track01.cda", false), "Song 1 (1:01)");
    EXPECT_EQ(list.buildTitle("/dev/sr0/track02.cda", false), "Song 2 / Live (2:02)");
}

TEST(PlaylistOrder, SortIgnoresCase) {
    QStringList names{"/m/beta.mp3", "/m/Alpha.mp3", "/m/alpha2.mp3", "/m/Gamma.mp3"};
    PlaylistOrder::sort(names);
    EXPECT_EQ(names, QStringList({"/m/Alpha.mp3", "/m/alpha2.mp3", "/m/beta.mp3", "/m/Gamma.mp3"}));
}

TEST(PlaylistFile, CompletionRules) {
    EXPECT_EQ(PlaylistFile::complete({"/abs/a.mp3", "music\\b.mp3", "c.mp3", "", "late.mp3"},
                                     "/lists", false),
              QStringList({"/abs/a.mp3", "/lists/music/b.mp3", "/lists/c.mp3", "", "late.mp3"}));
    // A short line stops completion for the rest.
    EXPECT_EQ(PlaylistFile::complete({"a.mp3", "ab", "c.mp3"}, "/l", false),
              QStringList({"/l/a.mp3", "ab", "c.mp3"}));
    EXPECT_EQ(
        PlaylistFile::complete({"#EXTM3U", "#EXTINF:1,x", "x.mp3", "http://h/y.mp3"}, "/l", true),
        QStringList({"#EXTM3U", "#EXTINF:1,x", "/l/x.mp3", "http://h/y.mp3"}));
    EXPECT_EQ(PlaylistFile::complete({"a.mp3"}, "/", false), QStringList({"/a.mp3"}));
}

TEST(PlaylistFile, SaveLoadRoundTripAndEncodings) {
    QTemporaryDir dir;
    const QString file = dir.filePath("list.dmp");
    const QStringList entries{dir.filePath("a.mp3"), dir.filePath("ü/b.mp3"), "http://host/c.mp3",
                              "/dev/sr0/track02.cda"};
    PlaylistFile::save(file, entries);
    EXPECT_TRUE(test::readFile(file).endsWith(".cda\r\n"));
    EXPECT_EQ(PlaylistFile::load(file), entries);

    PlaylistFile::save(file, {});
    EXPECT_EQ(test::readFile(file), "");
    EXPECT_TRUE(PlaylistFile::load(file).isEmpty());

    // Mixed line ends, and a Latin-1 line among UTF-8 ones.
    test::writeFile(file, "caf\xe9.mp3\rna\xc3\xafve.mp3\nlast.mp3");
    EXPECT_EQ(PlaylistFile::load(file),
              QStringList(
                  {dir.filePath("café.mp3"), dir.filePath("naïve.mp3"), dir.filePath("last.mp3")}));
    const QString m3u = dir.filePath("x.M3U");
    test::writeFile(m3u, "#EXTM3U\r\nsong.mp3\r\n");
    EXPECT_EQ(PlaylistFile::load(m3u), QStringList({"#EXTM3U", dir.filePath("song.mp3")}));
    EXPECT_THROW(PlaylistFile::load(dir.filePath("none.dmp")), FileError);

    // Only regular files of a bounded size are read: a pipe would wait for a writer for ever,
    // a device never ends.
    const QString fifo = dir.filePath("trap.m3u");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_THROW(PlaylistFile::load(fifo), FileError);
    const QString endless = dir.filePath("x.m3u");
    ASSERT_TRUE(QFile::link("/dev/zero", endless));
    EXPECT_THROW(PlaylistFile::load(endless), FileError);
    const QString big = dir.filePath("big.dmp");
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(TextFile::kMaxTextFile + 1));
    }
    EXPECT_THROW(PlaylistFile::load(big), FileError);
}

TEST(Playlist, TitlesWithTheDecoderLength) {
    if (!SongLength::available()) GTEST_SKIP() << "built without the decoder library";
    OMBRIX_NEED_MEDIA();
    QTemporaryDir dir;
    const QString mp3 = dir.filePath("Tone.mp3");
    test::writeFile(mp3, test::readFile(test::media().mp3Long));
    Playlist list(true, SongLength::decoder());
    EXPECT_EQ(list.buildTitle(mp3, true), "Tone (0:14)");

    // An ID3v2 tag in front of the audio does not change the length.
    QByteArray withId3("ID3\x03\x00\x00\x00\x00\x01\x00", 10);
    withId3 += QByteArray(128, char(0xFF));  // false frame syncs inside the tag
    withId3 += test::readFile(mp3);
    const QString tagged = dir.filePath("Tagged.mp3");
    test::writeFile(tagged, withId3);
    SongTag t;
    t.clear(tagged);
    t.title = "Tone";
    t.artist = "Generator";
    ASSERT_TRUE(t.write(tagged));
    EXPECT_EQ(list.buildTitle(tagged, true), "Tone / Generator (0:14)");
}

TEST(PlaylistEntry, KindsByForm) {
    using K = PlaylistEntry::Kind;
    EXPECT_EQ(PlaylistEntry::kindOf("http://h/a.cda"), K::Url);
    EXPECT_EQ(PlaylistEntry::kindOf("/dev/sr0/TRACK01.CDA"), K::CdTrack);
    EXPECT_EQ(PlaylistEntry::kindOf("/m/album.zip"), K::ArchiveMember);
    EXPECT_EQ(PlaylistEntry::kindOf("/m/album.Zip3"), K::ArchiveMember);
    EXPECT_EQ(PlaylistEntry::kindOf("/m/a.mp3"), K::LocalFile);
}

// The worker reading tag titles against a list that keeps changing under it, and a list
// destroyed while requests are still waiting (run under ThreadSanitizer too).
TEST(TitleReaderConcurrency, EditsAndDestructionWhileTitlesAreRead) {
    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < 120; ++i) {
        const QString f = dir.filePath(QString("t%1.wav").arg(i));
        test::writeFile(f, test::pcmWave(20));
        SongTag tag;
        tag.clear(f);
        tag.title = QString("Title %1").arg(i);
        ASSERT_TRUE(tag.write(f));
        files << f;
    }
    for (int round = 0; round < 3; ++round) {
        auto list = std::make_unique<Playlist>(true, fixedLength(0));
        list->addEntries(files);
        const PlaylistOrder::Random middle = [](int n) { return n / 2; };
        for (int pass = 0; pass < 20; ++pass) {
            for (int row = 0; row < list->rowCount(); ++row)
                list->data(list->index(row), Qt::DisplayRole);
            list->moveRows({0, 5, 9}, pass % 7);
            if (pass % 5 == 4) list->shuffle(middle);
            QCoreApplication::processEvents();
        }
        if (round == 2) {
            // Let every title arrive once: the right title lands on the right entry.
            QElapsedTimer waited;
            waited.start();
            while (list->cachedCount() < files.size() && waited.elapsed() < 20000) {
                for (int row = 0; row < list->rowCount(); ++row)
                    list->data(list->index(row), Qt::DisplayRole);
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            }
            ASSERT_EQ(list->cachedCount(), files.size());
            const qsizetype row = list->entries().indexOf(files[42]);
            EXPECT_EQ(list->titleAt(row), "Title 42");
        }
        list.reset();  // with requests still queued in the first rounds
    }
}
