// MIDI files: their timing read from the bytes, and their sound rendered by FluidSynth through
// the media control onto SDL's disk device.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>

#include "ombrix/media/MediaControl.h"
#include "ombrix/media/MidiTimeline.h"
#include "ombrix/media/PcmMediaControl.h"
#include "ombrix/media/PcmSource.h"
#include "support/Files.h"

using namespace ombrix;
using namespace ombrix::test;

namespace {

TEST(MidiTimelineTest, TempoChangesAndWrappingsGiveTheLengthAndTicks) {
    const MidiTimeline t = MidiTimeline::parse(midiTune());
    EXPECT_EQ(t.lengthUs(), 1250000);
    EXPECT_EQ(t.tickAt(500000), 96);
    EXPECT_EQ(t.tickAt(1125000), 240);
    EXPECT_EQ(t.usAt(240), 1125000);

    // Inside a RIFF RMID file, and cut off before the end of its track.
    const QByteArray smf = midiTune();
    const QByteArray rmid =
        "RIFF" + le32(quint32(smf.size() + 12)) + "RMID" + "data" + le32(quint32(smf.size())) + smf;
    EXPECT_EQ(MidiTimeline::parse(rmid).lengthUs(), 1250000);
    QByteArray cut = midiTune();
    cut.chop(12);  // the end of the track and the last note, on and off
    EXPECT_EQ(MidiTimeline::parse(cut).lengthUs(), 1000000);

    // Time-code division: 25 frames of 40 ticks, one millisecond a tick.
    QByteArray smpte = midiTune();
    smpte[12] = char(-25);
    smpte[13] = char(40);
    EXPECT_EQ(MidiTimeline::parse(smpte).lengthUs(), 288000);

    for (const QByteArray& bad :
         {QByteArray(), QByteArray("MThd"), QByteArray("RIFF\0\0\0\0RMIDjunk", 16),
          QByteArray("not a midi file at all, just text"),
          QByteArray::fromHex("4d54686400000006000000000060")}) {
        EXPECT_THROW(MidiTimeline::parse(bad), MediaError) << bad.toHex().toStdString();
    }
}

TEST(SoundFontTest, TheSettingComesFirstThenTheInstalledFonts) {
    QTemporaryDir dir;
    const QString mine = dir.filePath("mine.sf2");
    const QString other = dir.filePath("other.sf2");
    writeFile(other, "x");
    EXPECT_EQ(findSoundFont(mine, {dir.filePath("none.sf2"), other}), other);
    writeFile(mine, "x");
    EXPECT_EQ(findSoundFont(mine, {other}), mine);
    EXPECT_EQ(findSoundFont({}, {dir.filePath("none.sf2")}), QString());
}

class MidiPlayTest : public ::testing::Test {
protected:
    MidiPlayTest() {
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", dir.filePath("device.raw").toLocal8Bit());
        writeFile(dir.filePath("tune.mid"), midiTune());
        options.soundFont = findSoundFont({});
    }
    ~MidiPlayTest() override { qputenv("SDL_AUDIODRIVER", driver_); }

    QTemporaryDir dir;
    PcmMediaControl media;
    MediaControl::Options options;
    const QByteArray driver_ = qgetenv("SDL_AUDIODRIVER");
};

TEST_F(MidiPlayTest, ATunePlaysToItsEndAndIsHeard) {
    if (options.soundFont.isEmpty()) GTEST_SKIP() << "no General MIDI sound font installed";
    media.open(dir.filePath("tune.mid"), options);
    EXPECT_EQ(media.lengthMs(), 1250 + 500);
    media.play();
    ASSERT_TRUE(waitFor([&] { return media.mode() == MediaControl::Mode::Stopped; }, 30000));
    EXPECT_EQ(media.positionMs(), media.lengthMs());
    const QByteArray raw = readFile(dir.filePath("device.raw"));
    EXPECT_GE(raw.size(), 44100 * 4 * 17 / 10);
    // Each half second holds a note: none of the three is silent.
    const auto* s = reinterpret_cast<const qint16*>(raw.constData());
    for (int part = 0; part < 3; ++part) {
        const int from = (part == 2 ? 44100 * 1 : 22050 * part) + 2205;
        double sum = 0;
        for (int i = from; i < from + 8820; ++i) sum += double(s[2 * i]) * s[2 * i];
        EXPECT_GT(std::sqrt(sum / 8820), 300.0) << "note " << part;
    }
}

TEST_F(MidiPlayTest, ASeekLandsOnTheTuneAndBadFilesAreRefused) {
    if (options.soundFont.isEmpty()) GTEST_SKIP() << "no General MIDI sound font installed";
    media.open(dir.filePath("tune.mid"), options);
    media.play();
    ASSERT_TRUE(waitFor([&] { return media.positionMs() > 100; }));
    media.seek(1100);
    EXPECT_GE(media.positionMs(), 1050);
    ASSERT_TRUE(waitFor([&] { return media.mode() == MediaControl::Mode::Stopped; }, 30000));
    EXPECT_LT(QFileInfo(dir.filePath("device.raw")).size(), 44100 * 4 * 16 / 10);
    // The synthesizer moved too: the tune's quiet end closes the file, not a note that was
    // sounding before the seek.
    const QByteArray raw = readFile(dir.filePath("device.raw"));
    const auto* s = reinterpret_cast<const qint16*>(raw.constData());
    const qsizetype frames = raw.size() / 4;
    const auto level = [&](qsizetype from, qsizetype n) {
        double sum = 0;
        for (qsizetype i = from; i < from + n; ++i) sum += double(s[2 * i]) * s[2 * i];
        return std::sqrt(sum / double(n));
    };
    double loudest = 0;
    for (qsizetype at = 0; at + 2205 <= frames; at += 2205)
        loudest = std::max(loudest, level(at, 2205));
    EXPECT_LT(level(frames - 8820, 8820), loudest / 10);

    writeFile(dir.filePath("text.mid"), "this is not midi");
    EXPECT_THROW(media.open(dir.filePath("text.mid"), options), MediaError);
    writeFile(dir.filePath("font.sf2"), "not a sound font");
    MediaControl::Options badFont = options;
    badFont.soundFont = dir.filePath("font.sf2");
    EXPECT_THROW(media.open(dir.filePath("tune.mid"), badFont), MediaError);
    MediaControl::Options noFont = options;
    noFont.soundFont.clear();
    try {
        media.open(dir.filePath("tune.mid"), noFont);
        ADD_FAILURE() << "played without a sound font";
    } catch (const MediaError& e) {
        EXPECT_STREQ(e.what(), "no sound font for MIDI files");
    }
    // Other files play without a font.
    writeFile(dir.filePath("tone.wav"), pcmWave(200));
    EXPECT_NO_THROW(media.open(dir.filePath("tone.wav"), noFont));
}

}  // namespace
