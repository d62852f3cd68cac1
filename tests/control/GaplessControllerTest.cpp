// With no pause between songs, the pieces of one recording play as the recording itself: the
// controller queues each next song on the running playback, SDL's disk device (which writes what
// it plays to a file, in real time, a new file each time it is opened) receives one stream, and
// the controller still moves through the entries.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <vector>

#include "decoder/GaplessSupport.h"
#include "ombrix/control/DecoderControl.h"
#include "support/ControllerRig.h"

namespace ombrix::test {
namespace {

std::vector<int16_t> samplesOf(const QByteArray& raw) {
    std::vector<int16_t> out(static_cast<size_t>(raw.size()) / 2);
    std::copy_n(reinterpret_cast<const int16_t*>(raw.constData()), out.size(), out.data());
    return out;
}

// Where `piece` starts in what the device played: the device plays exact silence until the
// first song's first sample (the piece starts loud), and the best match over a second of the
// piece within a few frames of there confirms it.
long startOf(const std::vector<int16_t>& played, const std::vector<int16_t>& piece) {
    const auto loud = std::find_if(played.begin(), played.end(), [](int16_t v) { return v != 0; });
    const long first = long(loud - played.begin()) / 2;
    constexpr long kWindow = 44100;
    long best = -1;
    double bestSum = 0.0;
    for (long lag = std::max(0L, first - 4); lag <= first + 4; ++lag) {
        if (2 * (lag + kWindow) > long(played.size())) break;
        double sum = 0.0;
        for (long i = 0; i < 2 * kWindow; ++i) {
            const double d = double(played[size_t(2 * lag + i)]) - piece[size_t(i)];
            sum += d * d;
        }
        if (best < 0 || sum < bestSum) {
            best = lag;
            bestSum = sum;
        }
    }
    return best;
}

class GaplessControllerTest : public ::testing::Test, protected ControllerRig {
protected:
    void TearDown() override {
        controller->stop();
        qputenv("SDL_AUDIODRIVER", driver_);
        qunsetenv("SDL_DISKAUDIOFILE");
    }
    const QByteArray driver_ = qgetenv("SDL_AUDIODRIVER");
};

// A decoder whose position and song number the test sets, recording the queue calls.
struct QueueingDecoder final : DecoderControl {
    int totalMs(const QString&, int32_t) override { return 14000; }
    void pause(bool) override {}
    void seekFrames(int) override {}
    void seekFraction(double) override {}
    double where() override { return 0; }
    int currentMs() override { return ms; }
    void setOutputLevel(int, int) override {}
    void enableEffects(bool) override {}
    void enableEqualizer(bool) override {}
    bool startRecording(const QString&) override { return true; }
    void stopRecording() override {}
    int queueNext(const QString& file, int32_t) override {
        queued << QFileInfo(file).fileName();
        return queueResult;
    }
    bool cancelNext() override {
        ++cancels;
        return !taken;
    }
    int songNumber() override { return song; }

    int ms = 0, song = 0, cancels = 0, queueResult = 1;
    bool taken = false;
    QStringList queued;
};

// The next song is queued near the end of the current one; a pause, a seek and a change of
// what follows drop it (and it is queued again); the controller moves to it once it is heard.
TEST(GaplessQueueTest, QueuedNearTheEndDroppedByUserActionsAndFollowedWhenHeard) {
    OMBRIX_NEED_MEDIA();
    QueueingDecoder decoder;
    ControllerRig rig;
    PlaybackController c(*rig.store, *rig.resolver, rig.clock, rig.host, nullptr, &decoder);
    const auto tick = [&](int n) {
        for (int i = 0; i < n; ++i) {
            rig.clock.advance(100);
            c.tick100();
            if (rig.clock.ms % 500 == 0) c.tick500();
        }
    };
    QStringList songs;
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
        songs << rig.home.filePath(name);
        QFile::copy(media().mp3Long, songs.last());
    }
    rig.store->change([](PlayerSettings& s) { s.dontsleep = true; });
    c.setPlaylist(songs);
    c.playEntry(0);
    tick(10);
    EXPECT_TRUE(decoder.queued.isEmpty()) << "14 s of 14 s left";

    decoder.ms = 9500;
    tick(5);
    EXPECT_EQ(decoder.queued, QStringList({"b.mp3"}));
    tick(5);
    EXPECT_EQ(decoder.queued.size(), 1) << "queued once";

    c.pause();
    EXPECT_EQ(decoder.cancels, 1);
    tick(5);
    EXPECT_EQ(decoder.queued.size(), 1) << "nothing is queued while paused";
    c.resume();
    tick(5);
    EXPECT_EQ(decoder.queued.size(), 2);

    c.seekTo(0.9);
    EXPECT_EQ(decoder.cancels, 2);
    tick(5);
    EXPECT_EQ(decoder.queued.size(), 3);

    c.moveEntry(2, 1);  // c.mp3 follows now
    EXPECT_EQ(decoder.cancels, 3);
    tick(5);
    EXPECT_EQ(decoder.queued.last(), "c.mp3");

    // The playback has begun the queued song: a pause no longer drops it, and once it is heard
    // the controller is on it, its lines and position starting over.
    decoder.taken = true;
    c.pause();
    c.resume();
    decoder.song = 1;
    decoder.ms = 200;
    const quint64 playback = c.state().playback;
    int songChanges = 0;
    QObject::connect(&c, &PlaybackController::changed, [&](int mask) {
        if (mask & kChangeSong) ++songChanges;
    });
    tick(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(c.currentIndex(), 1);
    EXPECT_EQ(c.state().currentEntry, songs[2]);
    EXPECT_EQ(c.state().line1, "c");
    EXPECT_EQ(c.state().lengthMs, 14000);
    EXPECT_TRUE(c.state().playing);
    EXPECT_GE(songChanges, 1) << "the session marker hears of the new song";
    EXPECT_NE(c.state().playback, playback) << "a new song for every reader";

    // A song that cannot follow on the stream is not asked for again in the same song.
    decoder.taken = false;
    decoder.queueResult = -1;
    decoder.ms = 9500;
    const qsizetype asked = decoder.queued.size();
    tick(10);
    EXPECT_EQ(decoder.queued.size(), asked + 1);
    c.stop();
}

TEST_F(GaplessControllerTest, PiecesOfOneRecordingPlayAsTheRecordingOnOneStream) {
    if (QStandardPaths::findExecutable("mpg123").isEmpty()) GTEST_SKIP() << "mpg123 missing";
    const std::vector<int16_t> piece = musicPiece(44100, 5.0);
    const size_t frames = piece.size() / 2;
    const std::vector<size_t> cuts{0, 60001, 140333, frames};
    QStringList parts;
    std::vector<int16_t> reference;  // mpg123's gapless decoding of the pieces, one after another
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        const std::vector<int16_t> part(piece.begin() + std::ptrdiff_t(2 * cuts[i]),
                                        piece.begin() + std::ptrdiff_t(2 * cuts[i + 1]));
        const std::vector<uint8_t> wave = waveBytes(44100, 2, part);
        const QString mp3 = home.filePath(QString("part%1.mp3").arg(i));
        ASSERT_TRUE(
            encode(QByteArray(reinterpret_cast<const char*>(wave.data()), qsizetype(wave.size())),
                   mp3, 128));
        parts << mp3;
        const QString pcm = mp3 + ".pcm";
        ASSERT_EQ(QProcess::execute("mpg123", {"-q", "-O", pcm, mp3}), 0);
        const std::vector<int16_t> theirs = samplesOf(readFile(pcm));
        reference.insert(reference.end(), theirs.begin(), theirs.end());
    }
    ASSERT_EQ(reference.size(), piece.size());

    const QString raw = home.filePath("device.raw");
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", raw.toLocal8Bit());
    store->change([](PlayerSettings& s) {
        s.dontsleep = true;
        s.autorepeat1 = false;
    });
    controller->setVolume(127);  // the player's own level leaves the samples as decoded
    controller->setPlaylist(parts);
    controller->playEntry(0);
    std::vector<int> indices{controller->currentIndex()};
    std::vector<QString> titles{controller->state().line1};
    ASSERT_TRUE(tickUntil(
        [&] {
            if (controller->currentIndex() != indices.back()) {
                indices.push_back(controller->currentIndex());
                titles.push_back(controller->state().line1);
            }
            return !controller->state().playing;
        },
        30000));
    EXPECT_EQ(indices, (std::vector<int>{0, 1, 2})) << "the controller moved through the entries";
    EXPECT_EQ(titles, (std::vector<QString>{"part0", "part1", "part2"}));

    // One stream: the disk device was opened once, so its file holds all three songs.
    const std::vector<int16_t> played = samplesOf(readFile(raw));
    const long start = startOf(played, piece);
    ASSERT_GE(start, 0);
    ASSERT_GE(played.size(), 2 * (size_t(start) + frames)) << "the whole piece was played";
    int largest = 0;
    for (size_t i = 0; i < reference.size(); ++i)
        largest = std::max(largest, std::abs(played[2 * size_t(start) + i] - reference[i]));
    EXPECT_LE(largest, 4) << "sample for sample as the decoder gives each piece";
    const std::vector<int16_t> heard(played.begin() + 2 * start,
                                     played.begin() + 2 * (start + long(frames)));
    const JoinErrors e = joinErrors(heard, piece, {cuts[1], cuts[2]});
    const JoinErrors r = joinErrors(reference, piece, {cuts[1], cuts[2]});
    EXPECT_LE(e.atJoins, r.atJoins + 1.0) << "no click at the joins";
    // What follows the piece is the device's silence, not more of a song.
    const auto tail =
        std::minmax_element(played.begin() + 2 * (start + long(frames)), played.end());
    if (tail.first != played.end()) {
        EXPECT_EQ(*tail.first, 0);
        EXPECT_EQ(*tail.second, 0);
    }
    std::printf(
        "[ figures  ] device: piece at frame %ld, %zu frames; largest difference from "
        "mpg123 %d; RMS error %.1f near the joins, %.1f elsewhere\n",
        start, frames, largest, e.atJoins, e.elsewhere);
}

}  // namespace
}  // namespace ombrix::test
