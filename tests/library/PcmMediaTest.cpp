// Sound files through the media control and the decoder library's real output: SDL's disk
// device writes what it plays to a file in real time, so the tests hear what a user would.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <vector>

#include "ombrix/media/MediaControl.h"
#include "ombrix/media/PcmMediaControl.h"
#include "ombrix/media/PcmSource.h"
#include "support/Files.h"

using namespace ombrix;
using namespace ombrix::test;

namespace {

struct Sound {
    QString path;
    int channels = 2;  // as the device gets it
    int rate = 44100;
};

// A sine of @p seconds written by libsndfile in @p format; empty when the library cannot.
QString writeSound(const QString& path, int format, int channels, int rate, double seconds) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f) return {};
    const int frames = int(rate * seconds);
    std::vector<short> samples(size_t(frames) * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[size_t(i) * channels + c] =
                short(8000 * std::sin(2 * M_PI * (330 + 110 * c) * i / rate));
    sf_writef_short(f, samples.data(), frames);
    sf_close(f);
    return path;
}

class PcmMediaTest : public ::testing::Test {
protected:
    PcmMediaTest() {
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", raw().toLocal8Bit());
    }
    ~PcmMediaTest() override { qputenv("SDL_AUDIODRIVER", driver_); }

    QString raw() const { return dir.filePath("device.raw"); }
    QString file(const QString& name) const { return dir.filePath(name); }
    // Milliseconds the device has written for a sound of @p s.
    qint64 writtenMs(const Sound& s) const {
        return QFileInfo(raw()).size() * 1000 / (qint64(s.channels) * 2 * s.rate);
    }
    static double rms(const QByteArray& bytes) {
        const auto* v = reinterpret_cast<const qint16*>(bytes.constData());
        const qsizetype n = bytes.size() / 2;
        double sum = 0;
        for (qsizetype i = 0; i < n; ++i) sum += double(v[i]) * v[i];
        return n ? std::sqrt(sum / double(n)) : 0.0;
    }
    bool playedToEnd(MediaControl& m) {
        return waitFor([&] { return m.mode() == MediaControl::Mode::Stopped; }, 30000);
    }

    QTemporaryDir dir;
    PcmMediaControl media;
    MediaControl::Options options;
    const QByteArray driver_ = qgetenv("SDL_AUDIODRIVER");
};

TEST_F(PcmMediaTest, EachFormatPlaysToItsEndAndIsHeard) {
    writeFile(file("tone.wav"), pcmWave(1000, {440}, 8000));
    std::vector<Sound> sounds{
        {file("tone.wav"), 2, 44100},
        {writeSound(file("mono.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 22050, 1.0), 1, 22050},
        {writeSound(file("wide.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 6, 96000, 1.0), 2, 96000},
        {writeSound(file("tone.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100, 1.0), 2, 44100},
        {writeSound(file("tone.opus"), SF_FORMAT_OGG | SF_FORMAT_OPUS, 2, 48000, 1.0), 2, 48000},
    };
    for (const Sound& s : sounds) {
        ASSERT_FALSE(s.path.isEmpty()) << "libsndfile could not write a test file";
        SCOPED_TRACE(s.path.toStdString());
        QFile::remove(raw());
        media.open(s.path, options);
        EXPECT_NEAR(media.lengthMs(), 1000, 30);
        EXPECT_EQ(media.mode(), MediaControl::Mode::Stopped);
        media.play();
        ASSERT_TRUE(playedToEnd(media));
        EXPECT_TRUE(media.failure().isEmpty());
        EXPECT_EQ(media.positionMs(), media.lengthMs());
        EXPECT_GE(writtenMs(s), 950);
        EXPECT_GT(rms(readFile(raw())), 1000.0);
        media.close();
        EXPECT_EQ(media.mode(), MediaControl::Mode::NotReady);
    }
}

TEST_F(PcmMediaTest, PositionFollowsTheDeviceThroughPauseAndSeek) {
    const Sound s{writeSound(file("long.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, 4.0),
                  2, 44100};
    ASSERT_FALSE(s.path.isEmpty());
    media.open(s.path, options);
    media.play();
    // What is reported has been written by the device, and not long before.
    ASSERT_TRUE(waitFor([&] {
        const qint64 before = writtenMs(s);
        const int at = media.positionMs();
        const qint64 after = writtenMs(s);
        EXPECT_LE(at, after + 30);
        EXPECT_GE(at, before - 1200);
        return at >= 800;
    }));

    media.pause();
    EXPECT_EQ(media.mode(), MediaControl::Mode::Paused);
    const int held = media.positionMs();
    waitFor([] { return false; }, 300);
    EXPECT_EQ(media.positionMs(), held);
    media.resume();
    EXPECT_EQ(media.mode(), MediaControl::Mode::Playing);
    ASSERT_TRUE(waitFor([&] { return media.positionMs() > held + 100; }));

    // A seek near the end: the position is there at once and the rest of the song is skipped.
    media.seek(3500);
    EXPECT_GE(media.positionMs(), 3450);
    ASSERT_TRUE(playedToEnd(media));
    EXPECT_LT(writtenMs(s), 3500);
    EXPECT_EQ(media.positionMs(), media.lengthMs());

    // A stopped song starts again where it is sought to.
    QFile::remove(raw());
    media.seek(3000);
    EXPECT_EQ(media.mode(), MediaControl::Mode::Playing);
    ASSERT_TRUE(playedToEnd(media));
    EXPECT_LT(writtenMs(s), 2000);
}

TEST_F(PcmMediaTest, BadFilesAreRefusedAndCutFilesEndWhereTheirAudioEnds) {
    writeFile(file("text.flac"), "this is not a sound file at all\n");
    // A RIFF WAVE header with a format chunk that makes no sense.
    writeFile(file("broken.wav"), "RIFF" + le32(36) + "WAVEfmt " + le32(16) + le16(77) + le16(0) +
                                      le32(0) + le32(0) + le16(0) + le16(0) + "data" + le32(0));
    // A header and no samples.
    writeFile(file("empty.wav"), pcmWave(0));
    writeFile(file("nothing.ogg"), QByteArray());
    for (const QString name : {"text.flac", "broken.wav", "empty.wav", "nothing.ogg"}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_THROW(media.open(file(name), options), MediaError);
        EXPECT_EQ(media.mode(), MediaControl::Mode::NotReady);
        media.play();  // nothing open: nothing happens
        EXPECT_EQ(media.mode(), MediaControl::Mode::NotReady);
    }

    // Cut in the middle of its audio: what is there plays, and the song ends.
    const QString whole =
        writeSound(file("whole.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, 2.0);
    ASSERT_FALSE(whole.isEmpty());
    const QByteArray bytes = readFile(whole);
    for (const QString& name : {QString("cut.flac"), QString("cut.wav")}) {
        SCOPED_TRACE(name.toStdString());
        QByteArray cut = name.endsWith(".wav") ? pcmWave(2000, {440}, 8000) : bytes;
        cut.truncate(cut.size() / 3);
        writeFile(file(name), cut);
        try {
            media.open(file(name), options);
        } catch (const MediaError&) {
            continue;  // refused at once is fine too
        }
        media.play();
        ASSERT_TRUE(playedToEnd(media));
        media.close();
    }
}

}  // namespace
