// Sound files and MIDI through the media control and the decoder library's real output: SDL's
// disk device writes what it plays to a file in real time, so the tests hear what a user would.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <vector>

#include "ombrix/media/MidiTimeline.h"
#include "ombrix/media/PcmMediaControl.h"
#include "ombrix/media/PcmSource.h"
#include "support/Files.h"

using namespace ombrix;
using namespace ombrix::test;

namespace {

using Mode = MediaControl::Mode;

struct Sound {
    QString path;
    int channels = 2;  // as the device gets it
    int rate = 44100;
};

class MediaControlTest : public ::testing::Test {
protected:
    MediaControlTest() {
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", raw().toLocal8Bit());
        options.soundFont = findSoundFont({});
    }
    ~MediaControlTest() override { qputenv("SDL_AUDIODRIVER", driver_); }

    QString raw() const { return dir.filePath("device.raw"); }
    QString file(const QString& name) const { return dir.filePath(name); }
    // A sine of @p seconds written by libsndfile in @p format.
    QString sound(const QString& name, int format, int channels, int rate, double seconds) {
        SF_INFO info{0, rate, channels, format, 0, 0};
        SNDFILE* f = sf_open(QFile::encodeName(file(name)).constData(), SFM_WRITE, &info);
        if (!f) return {};
        std::vector<short> samples;
        for (int i = 0; i < int(rate * seconds); ++i)
            for (int c = 0; c < channels; ++c)
                samples.push_back(short(8000 * std::sin(2 * M_PI * (330 + 110 * c) * i / rate)));
        sf_writef_short(f, samples.data(), sf_count_t(samples.size() / channels));
        sf_close(f);
        return file(name);
    }
    qint64 writtenMs(const Sound& s) const {
        return QFileInfo(raw()).size() * 1000 / (qint64(s.channels) * 2 * s.rate);
    }
    // The level of the stereo device file over [fromMs, fromMs + ms), at 44.1 kHz.
    double level(qint64 fromMs, qint64 ms) const {
        const QByteArray bytes = readFile(raw());
        const auto* v = reinterpret_cast<const qint16*>(bytes.constData());
        const qint64 first = fromMs * 441 / 10 * 2, end = (fromMs + ms) * 441 / 10 * 2;
        double sum = 0;
        for (qint64 i = first; i < end && i < bytes.size() / 2; ++i) sum += double(v[i]) * v[i];
        return std::sqrt(sum / double(end - first));
    }
    bool playedToEnd() {
        return waitFor([&] { return media.mode() == Mode::Stopped; }, 30000);
    }

    QTemporaryDir dir;
    PcmMediaControl media;
    MediaControl::Options options;
    const QByteArray driver_ = qgetenv("SDL_AUDIODRIVER");
};

TEST_F(MediaControlTest, EachFormatPlaysToItsEndAndIsHeard) {
    writeFile(file("tone.wav"), pcmWave(1000, {440}, 8000));
    writeFile(file("tune.mid"), midiTune());
    std::vector<Sound> sounds{
        {file("tone.wav"), 2, 44100},
        {sound("mono.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 22050, 1.0), 1, 22050},
        {sound("wide.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 6, 96000, 1.0), 2, 96000},
        {sound("tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100, 1.0), 2, 44100},
        {sound("tone.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 2, 48000, 1.0), 2, 48000}};
    if (!options.soundFont.isEmpty()) sounds.push_back({file("tune.mid"), 2, 44100});
    for (const Sound& s : sounds) {
        ASSERT_FALSE(s.path.isEmpty()) << "libsndfile could not write a test file";
        SCOPED_TRACE(s.path.toStdString());
        const bool midi = s.path.endsWith(".mid");
        QFile::remove(raw());
        media.open(s.path, options);
        // The tune's 1.25 s, and half a second for its last note to fade.
        EXPECT_NEAR(media.lengthMs(), midi ? 1750 : 1000, 30);
        EXPECT_EQ(media.mode(), Mode::Stopped);
        media.play();
        ASSERT_TRUE(playedToEnd());
        EXPECT_TRUE(media.failure().isEmpty());
        EXPECT_EQ(media.positionMs(), media.lengthMs());
        EXPECT_GE(writtenMs(s), media.lengthMs() * 95 / 100);
        if (midi) {
            // Each of the three notes is heard.
            for (qint64 at : {50, 550, 1050}) EXPECT_GT(level(at, 200), 300.0) << at;
        } else {
            // Over the whole file, whatever its layout.
            EXPECT_GT(level(0, writtenMs(s) * s.channels * s.rate / 88200), 1000.0);
        }
        media.close();
        EXPECT_EQ(media.mode(), Mode::NotReady);
    }
}

TEST_F(MediaControlTest, PositionFollowsTheDeviceThroughPauseAndSeek) {
    const Sound s{sound("long.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, 4.0)};
    media.open(s.path, options);
    media.play();
    // What is reported has been written by the device, and not long before. The disk device
    // writes a buffer to its file only after taking it, so the file may trail by one buffer
    // and, on a loaded machine, by the time its thread waits to be scheduled.
    ASSERT_TRUE(waitFor([&] {
        const qint64 before = writtenMs(s);
        const int at = media.positionMs();
        EXPECT_LE(at, writtenMs(s) + 100);
        EXPECT_GE(at, before - 1200);
        return at >= 800;
    }));
    media.pause();
    EXPECT_EQ(media.mode(), Mode::Paused);
    const int held = media.positionMs();
    waitFor([] { return false; }, 300);
    EXPECT_EQ(media.positionMs(), held);
    media.resume();
    ASSERT_TRUE(waitFor([&] { return media.positionMs() > held + 100; }));

    // A seek near the end: the position is there at once and the rest is skipped.
    media.seek(3500);
    EXPECT_GE(media.positionMs(), 3450);
    ASSERT_TRUE(playedToEnd());
    EXPECT_LT(writtenMs(s), 3500);
    // Played again after its end, the song starts from its beginning; a stopped song starts
    // again where it is sought to, and sought to its end, it stays there.
    QFile::remove(raw());
    media.play();
    ASSERT_TRUE(playedToEnd());
    EXPECT_GE(writtenMs(s), 3900);
    QFile::remove(raw());
    media.seek(media.lengthMs());
    ASSERT_TRUE(playedToEnd());
    EXPECT_LT(writtenMs(s), 1000);
    QFile::remove(raw());
    media.seek(3000);
    EXPECT_EQ(media.mode(), Mode::Playing);
    ASSERT_TRUE(playedToEnd());
    EXPECT_LT(writtenMs(s), 2000);
}

TEST_F(MediaControlTest, ASeekMovesTheMidiSynthesizerToo) {
    if (options.soundFont.isEmpty()) GTEST_SKIP() << "no General MIDI sound font installed";
    writeFile(file("tune.mid"), midiTune());
    media.open(file("tune.mid"), options);
    media.play();
    ASSERT_TRUE(waitFor([&] { return media.positionMs() > 100; }));
    media.seek(1100);
    EXPECT_GE(media.positionMs(), 1050);
    ASSERT_TRUE(playedToEnd());
    // The file ends with the tune's quiet end, not with a note that sounded before the seek.
    const qint64 ms = QFileInfo(raw()).size() * 10 / 441 / 4;
    EXPECT_LT(ms, 1600);
    double loudest = 0;
    for (qint64 at = 0; at + 50 <= ms; at += 50) loudest = std::max(loudest, level(at, 50));
    EXPECT_LT(level(ms - 200, 200), loudest / 10);

    // Played again, the tune starts with its first note.
    QFile::remove(raw());
    media.play();
    ASSERT_TRUE(playedToEnd());
    EXPECT_GT(level(50, 200), 300.0);
}

TEST_F(MediaControlTest, BadFilesAreRefusedAndCutFilesEndWhereTheirAudioEnds) {
    writeFile(file("text.flac"), "this is not a sound file at all\n");
    writeFile(file("broken.wav"), "RIFF" + le32(36) + "WAVEfmt " + le32(16) + le16(77) +
                                      QByteArray(14, '\0') + "data" + le32(0));
    writeFile(file("empty.wav"), pcmWave(0));
    writeFile(file("nothing.ogg"), QByteArray());
    writeFile(file("text.mid"), "this is not midi");
    writeFile(file("font.sf2"), "not a sound font");
    writeFile(file("tune.mid"), midiTune());
    MediaControl::Options badFont = options, noFont = options;
    badFont.soundFont = file("font.sf2");
    noFont.soundFont.clear();
    const QList<QPair<QString, MediaControl::Options>> refused{
        {"text.flac", options},   {"broken.wav", options}, {"empty.wav", options},
        {"nothing.ogg", options}, {"text.mid", options},   {"tune.mid", badFont},
        {"tune.mid", noFont}};
    for (const auto& [name, o] : refused) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_THROW(media.open(file(name), o), MediaError);
        media.play();  // nothing open: nothing happens
        EXPECT_EQ(media.mode(), Mode::NotReady);
    }
    try {
        media.open(file("tune.mid"), noFont);
    } catch (const MediaError& e) {
        EXPECT_STREQ(e.what(), "no sound font for MIDI files");
    }

    // A rate the output does not take: the song ends at once and says why.
    media.open(sound("fast.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 384000, 0.1), options);
    media.play();
    ASSERT_TRUE(playedToEnd());
    EXPECT_EQ(media.failure(), "this sound format is not played");
    EXPECT_FALSE(media.deviceFailed());

    // Cut in the middle of the audio: what is there plays, and the song ends.
    QByteArray flac = readFile(sound("whole.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, 2));
    QByteArray wav = pcmWave(2000, {440}, 8000);
    flac.truncate(flac.size() / 3);
    wav.truncate(wav.size() / 3);
    writeFile(file("cut.flac"), flac);
    writeFile(file("cut.wav"), wav);
    for (const QString name : {"cut.flac", "cut.wav"}) {
        SCOPED_TRACE(name.toStdString());
        try {
            media.open(file(name), noFont);  // other files play without a font
        } catch (const MediaError&) {
            continue;  // refused at once is fine too
        }
        media.play();
        ASSERT_TRUE(playedToEnd());
    }
}

TEST(MidiTimelineTest, TempoChangesAndWrappingsGiveTheLengthAndTicks) {
    const MidiTimeline t = MidiTimeline::parse(midiTune());
    EXPECT_EQ(t.lengthUs(), 1250000);
    EXPECT_EQ(t.tickAt(500000), 96);
    EXPECT_EQ(t.tickAt(1125000), 240);
    EXPECT_EQ(t.usAt(240), 1125000);

    // Inside a RIFF RMID file; cut off before the end of its track.
    const QByteArray smf = midiTune();
    EXPECT_EQ(MidiTimeline::parse("RIFF" + le32(quint32(smf.size() + 12)) + "RMIDdata" +
                                  le32(quint32(smf.size())) + smf)
                  .lengthUs(),
              1250000);
    EXPECT_EQ(MidiTimeline::parse(smf.left(smf.size() - 12)).lengthUs(), 1000000);
    // Time-code division: 25 frames of 40 ticks, a millisecond a tick.
    QByteArray smpte = smf;
    smpte[12] = char(-25);
    smpte[13] = char(40);
    EXPECT_EQ(MidiTimeline::parse(smpte).lengthUs(), 288000);

    for (const QByteArray& bad :
         {QByteArray(), QByteArray("MThd"), QByteArray("RIFF\0\0\0\0RMIDjunk", 16),
          QByteArray("not a midi file at all, just text"),
          QByteArray::fromHex("4d54686400000006000000000060")}) {  // no tracks
        EXPECT_THROW(MidiTimeline::parse(bad), MediaError) << bad.toHex().toStdString();
    }
}

}  // namespace
