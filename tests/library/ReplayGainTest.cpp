// Loudness levelling: tag values as files carry them, the factor they give, the settings, the
// cache of measured files and the measurement itself on songs encoded during the run.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>

#include "ombrix/library/LoudnessScan.h"
#include "ombrix/library/ModernTagReader.h"
#include "ombrix/library/ReplayGain.h"
#include "ombrix/library/ReplayGainCache.h"
#include "ombrix/library/ReplayGainScanner.h"
#include "ombrix/settings/SettingsStore.h"
#include "support/Files.h"

using namespace ombrix;
using test::le32;

namespace {

QByteArray txxx(int version, const QByteArray& description, const QByteArray& value) {
    return test::id3v2Frame(version, "TXXX", description + '\0' + value);
}

// An APE tag (version 2000) with header and footer around @p items (key, value).
QByteArray apeTag(const QList<QPair<QByteArray, QByteArray>>& items) {
    QByteArray body;
    for (const auto& [key, value] : items)
        body += le32(quint32(value.size())) + le32(0) + key + '\0' + value;
    const auto frame = [&](quint32 flags) {
        return QByteArray("APETAGEX") + le32(2000) + le32(quint32(body.size() + 32)) +
               le32(quint32(items.size())) + le32(flags) + QByteArray(8, '\0');
    };
    return frame(0xA0000000u) + body + frame(0x80000000u);
}

// A -20 dBFS (amplitude 0.1 of full scale) 1 kHz tone on both sides.
QByteArray quietTone(int ms) {
    return test::pcmWave(ms, {1000.0}, 0.1 * 32768.0);
}

// The loudness of that tone: each side's mean square is 0.1^2 / 2, the K-weighting adds
// 0.691 dB at 1 kHz, the two sides add up and the definition subtracts the 0.691 dB again:
// 10 log10(2 x 0.005) = -20 LUFS.
constexpr double kQuietToneLufs = -20.0;

class ReplayGainFiles : public ::testing::Test {
protected:
    void SetUp() override { OMBRIX_NEED_MEDIA(); }
    QString withBytes(const QString& name, const QByteArray& before, const QByteArray& after) {
        const QString f = dir.filePath(name);
        test::writeFile(f, before + test::readFile(test::media().mp3Short) + after);
        return f;
    }
    QTemporaryDir dir;
};

}  // namespace

TEST(ReplayGainText, GainsAndPeaksAsTagsWriteThemAndGarbage) {
    EXPECT_DOUBLE_EQ(*ReplayGain::parseGain("-6.48 dB"), -6.48);
    EXPECT_DOUBLE_EQ(*ReplayGain::parseGain("+2.10 dB"), 2.1);
    EXPECT_DOUBLE_EQ(*ReplayGain::parseGain(" 3.5"), 3.5);
    EXPECT_DOUBLE_EQ(*ReplayGain::parseGain("-0.5DB "), -0.5);
    EXPECT_DOUBLE_EQ(*ReplayGain::parseGain(".25 db"), 0.25);
    EXPECT_DOUBLE_EQ(*ReplayGain::parsePeak("0.988123"), 0.988123);
    EXPECT_DOUBLE_EQ(*ReplayGain::parsePeak("1.2"), 1.2);
    for (const char* bad : {"", "dB", "loud", "-6.48 dBx", "- 6 dB", "6,5 dB", "nan", "inf",
                            "1e3", "65 dB", "-6.48 dB -6.48 dB", "0x10",
                            "00000000000000000000000000000000001"})
        EXPECT_FALSE(ReplayGain::parseGain(QString::fromLatin1(bad))) << bad;
    for (const char* bad : {"", "0", "0.0", "-0.5", "0.9 dB", "101", "peak", "nan"})
        EXPECT_FALSE(ReplayGain::parsePeak(QString::fromLatin1(bad))) << bad;
}

TEST_F(ReplayGainFiles, Id3v2AndApeValuesAreReadWhateverTheCaseOfTheirNames) {
    // ID3v2.4 with names in small letters; the album values only.
    const QString v24 = withBytes(
        "v24.mp3",
        test::id3v2(4, txxx(4, "replaygain_album_gain", "-3.20 dB") +
                           txxx(4, "Replaygain_Album_Peak", "0.5") +
                           test::id3v2Frame(4, "TIT2", "Song")),
        {});
    ReplayGainValues v = ModernTagReader::readReplayGain(v24);
    EXPECT_FALSE(v.trackGain);
    EXPECT_DOUBLE_EQ(*v.albumGain, -3.2);
    EXPECT_DOUBLE_EQ(*v.albumPeak, 0.5);

    // ID3v2.3, all four.
    const QString v23 = withBytes(
        "v23.mp3",
        test::id3v2(3, txxx(3, "REPLAYGAIN_TRACK_GAIN", "-6.48 dB") +
                           txxx(3, "REPLAYGAIN_TRACK_PEAK", "0.988123") +
                           txxx(3, "REPLAYGAIN_ALBUM_GAIN", "-5.00 dB") +
                           txxx(3, "REPLAYGAIN_ALBUM_PEAK", "1.000000")),
        {});
    v = ModernTagReader::readReplayGain(v23);
    EXPECT_DOUBLE_EQ(*v.trackGain, -6.48);
    EXPECT_DOUBLE_EQ(*v.trackPeak, 0.988123);
    EXPECT_DOUBLE_EQ(*v.albumGain, -5.0);
    EXPECT_DOUBLE_EQ(*v.albumPeak, 1.0);

    // An APE tag at the end, before an ID3v1 tag.
    const QString ape =
        withBytes("ape.mp3", {},
                  apeTag({{"Replaygain_Track_Gain", "+1.50 dB"}, {"REPLAYGAIN_TRACK_PEAK", "0.7"}}) +
                      test::id3v1("Title"));
    v = ModernTagReader::readReplayGain(ape);
    EXPECT_DOUBLE_EQ(*v.trackGain, 1.5);
    EXPECT_DOUBLE_EQ(*v.trackPeak, 0.7);
    EXPECT_FALSE(v.albumGain);

    // Both tags: the ID3v2 value wins, the APE tag fills in what ID3v2 lacks or cannot be read.
    const QString both = withBytes(
        "both.mp3",
        test::id3v2(4, txxx(4, "REPLAYGAIN_TRACK_GAIN", "-2 dB") +
                           txxx(4, "REPLAYGAIN_TRACK_PEAK", "garbage")),
        apeTag({{"REPLAYGAIN_TRACK_GAIN", "-9 dB"},
                {"REPLAYGAIN_TRACK_PEAK", "0.25"},
                {"REPLAYGAIN_ALBUM_GAIN", "-4 dB"}}));
    v = ModernTagReader::readReplayGain(both);
    EXPECT_DOUBLE_EQ(*v.trackGain, -2.0);
    EXPECT_DOUBLE_EQ(*v.trackPeak, 0.25);
    EXPECT_DOUBLE_EQ(*v.albumGain, -4.0);

    // None: a plain song, a tag with other texts only, a value that is not a number.
    EXPECT_EQ(ModernTagReader::readReplayGain(test::media().mp3Short), ReplayGainValues());
    const QString other = withBytes(
        "other.mp3",
        test::id3v2(4, txxx(4, "REPLAYGAIN_TRACK_GAINS", "-2 dB") +
                           txxx(4, "REPLAYGAIN_TRACK_GAIN", "very loud")),
        {});
    EXPECT_EQ(ModernTagReader::readReplayGain(other), ReplayGainValues());
    EXPECT_EQ(ModernTagReader::readReplayGain(dir.filePath("missing.mp3")), ReplayGainValues());
}

TEST_F(ReplayGainFiles, DamagedTagsGiveNoValuesAndEndWell) {
    const QByteArray good = txxx(4, "REPLAYGAIN_TRACK_GAIN", "-2 dB");
    // A frame whose size runs past the tag, a tag whose size runs past the file, an APE footer
    // that claims more than the file holds, an APE item longer than its tag, a cut tag.
    QByteArray overlong = good;
    overlong.replace(4, 4, test::syncsafe(100000));
    QByteArray apeItemTooLong = apeTag({{"REPLAYGAIN_TRACK_GAIN", "-2 dB"}});
    apeItemTooLong.replace(32, 4, le32(0x7FFFFFFF));
    QByteArray apeHuge = apeTag({{"REPLAYGAIN_TRACK_GAIN", "-2 dB"}});
    apeHuge.replace(apeHuge.size() - 20, 4, le32(0x7FFFFFF0));
    const QList<QPair<QByteArray, QByteArray>> cases{
        {test::id3v2(4, overlong), {}},
        {QByteArray("ID3\4\0\0\x7f\x7f\x7f\x7f", 10) + good, {}},
        {{}, apeHuge},
        {{}, apeItemTooLong},
        {{}, apeTag({{"REPLAYGAIN_TRACK_GAIN", "-2 dB"}}).right(40)},
    };
    int i = 0;
    for (const auto& [before, after] : cases) {
        const QString f = withBytes(QStringLiteral("bad%1.mp3").arg(i++), before, after);
        const ReplayGainValues v = ModernTagReader::readReplayGain(f);
        EXPECT_FALSE(v.trackGain && *v.trackGain != -2.0) << "case " << i;
    }
    // A tag alone, cut in its header.
    test::writeFile(dir.filePath("cut.mp3"), "ID3\4\0");
    EXPECT_EQ(ModernTagReader::readReplayGain(dir.filePath("cut.mp3")), ReplayGainValues());
}

TEST(ReplayGainFactor, ModesPreampDefaultAndClippingPrevention) {
    using M = ReplayGain::Mode;
    const double half = -20.0 * std::log10(2.0);  // -6.02 dB
    ReplayGainValues v;
    v.trackGain = half;
    v.albumGain = 0.0;
    EXPECT_NEAR(ReplayGain::factor(v, M::Track, 0, 0), 0.5, 1e-9);
    EXPECT_NEAR(ReplayGain::factor(v, M::Album, 0, 0), 1.0, 1e-9);
    EXPECT_EQ(ReplayGain::factor(v, M::Off, 10, 10), 1.0);
    // The pre-amp adds to the gain and is held to -15..+15 dB.
    EXPECT_NEAR(ReplayGain::factor(v, M::Track, -half, 0), 1.0, 1e-9);
    EXPECT_NEAR(ReplayGain::factor(v, M::Album, 40, 0), std::pow(10.0, 15 / 20.0), 1e-9);
    EXPECT_NEAR(ReplayGain::factor(v, M::Album, -40, 0), std::pow(10.0, -15 / 20.0), 1e-9);

    // Album falls back to the track gain, and the track mode to the album gain.
    ReplayGainValues trackOnly;
    trackOnly.trackGain = half;
    EXPECT_NEAR(ReplayGain::factor(trackOnly, M::Album, 0, 0), 0.5, 1e-9);
    ReplayGainValues albumOnly;
    albumOnly.albumGain = half;
    EXPECT_NEAR(ReplayGain::factor(albumOnly, M::Track, 0, 0), 0.5, 1e-9);

    // No values: the default alone, without the pre-amp, held to the same range.
    EXPECT_NEAR(ReplayGain::factor({}, M::Track, 6, half), 0.5, 1e-9);
    EXPECT_NEAR(ReplayGain::factor({}, M::Album, 0, -99), std::pow(10.0, -15 / 20.0), 1e-9);

    // Clipping prevention: peak x factor never above full scale; the peak that goes with the
    // gain chosen counts.
    ReplayGainValues loudPeaks;
    loudPeaks.trackGain = 6.0;
    loudPeaks.trackPeak = 0.8;
    loudPeaks.albumGain = 6.0;
    loudPeaks.albumPeak = 0.9;
    EXPECT_NEAR(ReplayGain::factor(loudPeaks, M::Track, 0, 0), 1.25, 1e-9);
    EXPECT_NEAR(ReplayGain::factor(loudPeaks, M::Album, 0, 0), 1 / 0.9, 1e-9);
    loudPeaks.trackGain = -6.0;  // lowering is never limited
    EXPECT_NEAR(ReplayGain::factor(loudPeaks, M::Track, 0, 0), std::pow(10.0, -0.3), 1e-9);
    ReplayGainValues peakAlone;
    peakAlone.trackPeak = 0.5;
    EXPECT_NEAR(ReplayGain::factor(peakAlone, M::Track, 0, 12), 2.0, 1e-9);

    EXPECT_EQ(ReplayGain::mode(0), M::Off);
    EXPECT_EQ(ReplayGain::mode(1), M::Track);
    EXPECT_EQ(ReplayGain::mode(2), M::Album);
    EXPECT_EQ(ReplayGain::mode(7), M::Track);
}

TEST(ReplayGainSettings, KeysAreReadHeldToTheirRangeAndWritten) {
    QTemporaryDir dir;
    const Home home(dir.path());
    const ProcessorFeatures cpu{true, false, false};
    {
        SettingsStore fresh(home, cpu);
        fresh.loadSettings();
        EXPECT_EQ(fresh.settings().replaygain, 1);
        EXPECT_EQ(fresh.settings().replaygainpreamp, 0);
        EXPECT_EQ(fresh.settings().replaygaindefault, 0);
    }
    test::writeFile(home.path(Home::kMainIni),
                    "[option]\r\nReplayGain=2\r\nreplaygainpreamp=-40\r\nreplaygaindefault=7\r\n");
    SettingsStore store(home, cpu);
    store.loadSettings();
    EXPECT_EQ(store.settings().replaygain, 2);
    EXPECT_EQ(store.settings().replaygainpreamp, -15);
    EXPECT_EQ(store.settings().replaygaindefault, 7);
    store.change([](PlayerSettings& s) {
        s.replaygain = 0;
        s.replaygainpreamp = 4;
    });
    store.saveSettings();
    SettingsStore again(home, cpu);
    again.loadSettings();
    EXPECT_EQ(again.settings().replaygain, 0);
    EXPECT_EQ(again.settings().replaygainpreamp, 4);

    test::writeFile(home.path(Home::kMainIni), "[option]\r\nreplaygain=9\r\nreplaygaindefault=99\r\n");
    SettingsStore odd(home, cpu);
    odd.loadSettings();
    EXPECT_EQ(odd.settings().replaygain, 1);
    EXPECT_EQ(odd.settings().replaygaindefault, 15);
}

TEST(ReplayGainCacheTest, RoundTripStaleAfterAChangeAndBounded) {
    QTemporaryDir dir;
    const QString song = dir.filePath("a song\twith tab.mp3");
    const QString broken = dir.filePath("broken.mp3");
    test::writeFile(song, QByteArray(1000, 'x'));
    test::writeFile(broken, QByteArray(10, 'y'));
    const QString cacheFile = dir.filePath("home/" + ReplayGainCache::kFileName);
    const auto key = ReplayGainCache::keyOf(song);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->size, 1000);
    EXPECT_FALSE(ReplayGainCache::keyOf(dir.filePath("missing.mp3")));
    EXPECT_FALSE(ReplayGainCache::keyOf(dir.path())) << "a folder is not a file";
    {
        ReplayGainCache cache(cacheFile);
        cache.load();
        EXPECT_EQ(cache.size(), 0);
        cache.store(*key, {false, -7.25, 0.912345});
        cache.store(*ReplayGainCache::keyOf(broken), {true, 0, 0});
        EXPECT_TRUE(cache.dirty());
        ASSERT_TRUE(cache.save());
        EXPECT_FALSE(cache.dirty());
    }
    ReplayGainCache cache(cacheFile);
    cache.load();
    ASSERT_EQ(cache.size(), 2);
    const auto entry = cache.find(*key);
    ASSERT_TRUE(entry);
    EXPECT_FALSE(entry->failed);
    EXPECT_DOUBLE_EQ(entry->gainDb, -7.25);
    EXPECT_NEAR(entry->peak, 0.912345, 1e-6);
    EXPECT_TRUE(cache.find(*ReplayGainCache::keyOf(broken))->failed);

    // A new modification time makes the entry stale.
    QFile f(song);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                              QFileDevice::FileModificationTime));
    f.close();
    const auto changed = ReplayGainCache::keyOf(song);
    ASSERT_TRUE(changed);
    EXPECT_NE(changed->modifiedMs, key->modifiedMs);
    EXPECT_FALSE(cache.find(*changed));

    // Damaged lines are skipped; the good ones stay.
    QByteArray text = test::readFile(cacheFile);
    text += "not a line\r\n12\tx\t1\t1\t/a\r\n5\t6\tnan\t0.5\t/b\r\n5\t6\t1.0\t0.5\trelative\r\n";
    test::writeFile(cacheFile, text);
    cache.load();
    EXPECT_EQ(cache.size(), 2);
    test::writeFile(cacheFile, "something else\r\n5\t6\t1.0\t0.5\t/b\r\n");
    cache.load();
    EXPECT_EQ(cache.size(), 0) << "a file without the header is not a cache";

    // The oldest entries go first once the cache is full.
    for (int i = 0; i < ReplayGainCache::kMaxEntries + 3; ++i)
        cache.store({QStringLiteral("/m/%1").arg(i), 1, 2}, {false, 1.0, 0.5});
    EXPECT_EQ(cache.size(), ReplayGainCache::kMaxEntries);
    EXPECT_FALSE(cache.find({QStringLiteral("/m/2"), 1, 2}));
    EXPECT_TRUE(cache.find({QStringLiteral("/m/3"), 1, 2}));
}

TEST(LoudnessScanTest, AQuietToneMeasuresAsTheStandardSays) {
    OMBRIX_NEED_MEDIA();
    QTemporaryDir dir;
    const QString tone = dir.filePath("tone.mp3");
    ASSERT_TRUE(test::encode(quietTone(4000), tone, 192));
    const LoudnessScan::Result r = LoudnessScan::scan(tone);
    ASSERT_EQ(r.status, LoudnessScan::Result::Status::Measured);
    EXPECT_NEAR(r.loudness, kQuietToneLufs, 0.5);
    EXPECT_NEAR(r.gainDb, LoudnessScan::kReferenceLufs - kQuietToneLufs, 0.5);
    EXPECT_NEAR(r.peak, 0.1, 0.015);

    // Not MPEG, silent, missing: no measurement. A stop ends it early.
    test::writeFile(dir.filePath("noise.mp3"), QByteArray(5000, '\x11'));
    EXPECT_EQ(LoudnessScan::scan(dir.filePath("noise.mp3")).status,
              LoudnessScan::Result::Status::Failed);
    ASSERT_TRUE(test::encode(test::pcmWave(1000, {}, 0), dir.filePath("silent.mp3")));
    EXPECT_EQ(LoudnessScan::scan(dir.filePath("silent.mp3")).status,
              LoudnessScan::Result::Status::Failed);
    EXPECT_EQ(LoudnessScan::scan(dir.filePath("missing.mp3")).status,
              LoudnessScan::Result::Status::Failed);
    const std::atomic<bool> stop{true};
    EXPECT_EQ(LoudnessScan::scan(tone, &stop).status, LoudnessScan::Result::Status::Stopped);
}

TEST(ReplayGainScannerTest, MeasuresInTheBackgroundOnceAndRemembersFailures) {
    OMBRIX_NEED_MEDIA();
    QTemporaryDir dir;
    const QString tone = dir.filePath("tone.mp3");
    const QString noise = dir.filePath("noise.mp3");
    ASSERT_TRUE(test::encode(quietTone(3000), tone, 192));
    test::writeFile(noise, QByteArray(5000, '\x11'));
    const QString cacheFile = dir.filePath(ReplayGainCache::kFileName);
    {
        ReplayGainScanner scanner(cacheFile);
        QStringList scanned;
        QObject::connect(&scanner, &ReplayGainScanner::scanned,
                         [&](const QString& f) { scanned << f; });
        EXPECT_FALSE(scanner.known(tone));
        scanner.request(tone);
        scanner.request(noise);
        ASSERT_TRUE(test::waitFor([&] { return scanned.size() == 2; }));
        const auto values = scanner.known(tone);
        ASSERT_TRUE(values);
        EXPECT_NEAR(*values->trackGain, LoudnessScan::kReferenceLufs - kQuietToneLufs, 0.5);
        EXPECT_NEAR(*values->trackPeak, 0.1, 0.015);
        EXPECT_FALSE(values->albumGain);
        EXPECT_FALSE(scanner.known(noise));
    }
    // Written when the scanner went away; the failed file is known as failed.
    ReplayGainCache cache(cacheFile);
    cache.load();
    EXPECT_EQ(cache.size(), 2);
    EXPECT_TRUE(cache.find(*ReplayGainCache::keyOf(noise))->failed);

    // A new scanner reads the cache: a known file is answered without measuring it again.
    ReplayGainScanner again(cacheFile);
    int answers = 0;
    QObject::connect(&again, &ReplayGainScanner::scanned, [&] { ++answers; });
    again.request(noise);
    ASSERT_TRUE(test::waitFor([&] { return answers == 1; }));
    EXPECT_TRUE(again.known(tone));
}
