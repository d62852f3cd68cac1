#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <ostream>

/// Readable failures: strings as text, not as arrays of 2-byte objects.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace ombrix::test {

/// Writes @p bytes to @p path, creating its folders; fails the test on error.
void writeFile(const QString& path, const QByteArray& bytes);
/// The whole file, or nothing when it cannot be read.
QByteArray readFile(const QString& path);

QByteArray le16(quint16 v);
QByteArray le32(quint32 v);
/// The 28-bit sizes of ID3v2: seven bits a byte.
QByteArray syncsafe(quint32 v);

/// An ID3v1 tag (128 bytes); fields are cut or padded with zeros.
QByteArray id3v1(const QByteArray& title, const QByteArray& artist = {},
                 const QByteArray& album = {}, const QByteArray& year = {},
                 const QByteArray& comment = {}, quint8 genre = 0);
/// An ID3v2 text frame of @p version (2, 3 or 4): UTF-8 for 2.4, Latin-1 before.
QByteArray id3v2Frame(int version, const QByteArray& id, const QByteArray& text);
/// An ID3v2 tag around @p frames.
QByteArray id3v2(int version, const QByteArray& frames, int padding = 64, quint8 flags = 0);

/// A 16-bit stereo PCM WAVE of @p ms milliseconds at 44.1 kHz: the sum of tones at @p hz.
QByteArray pcmWave(int ms, QList<double> hz = {440}, double amplitude = 3000);
/// A disc image: "disc.bin" (raw CD audio, little-endian) and its cue sheet "disc.cue" in
/// @p folder. Track k (1-based) lasts @p trackSectors[k-1] sectors of 1/75 s and holds
/// discSample(k, frame) on both sides; @p titles, when given, become its CD-TEXT (album title
/// first, then one per track). With @p dataFirst, track 1 is a data track. Returns the cue
/// sheet's path.
QString discImage(const QString& folder, const QList<int>& trackSectors,
                  const QStringList& titles = {}, bool dataFirst = false);
/// The sample of frame @p frame of track @p track of a discImage: a tone of its own per track.
qint16 discSample(int track, qint64 frame);

/// A one-track Standard MIDI File at 96 ticks a quarter: three piano notes of 0.5, 0.5 and
/// 0.25 s (the tempo doubles before the third), 1.25 s in all.
QByteArray midiTune();
/// Encodes a WAVE with lame (MPEG layer 3, CBR) or twolame (layer 2) into @p mp3;
/// false when the encoder is missing or fails.
bool encode(const QByteArray& wave, const QString& mp3, int kbps = 128, bool layer2 = false);

/// An uncompressed ("-lh0-", level 0 header) LHA archive with the given members.
QByteArray lhaArchive(const QList<QPair<QByteArray, QByteArray>>& members);
/// A zip archive (through libzip) at @p path; members named in @p links become symbolic links.
void zipArchive(const QString& path, const QList<QPair<QByteArray, QByteArray>>& members,
                const QList<QByteArray>& links = {});

/**
 * Songs made once per test process, in a folder that lives until the process ends; each has a
 * pitch of its own.
 */
struct Media {
    QString mp3Short;  ///< 1.5 s, 128 kbit/s
    QString mp3Long;   ///< 14 s
    QString mp2Short;  ///< 1.5 s MPEG layer 2 (empty without twolame)
    QString folder;
    bool ok() const { return !mp3Short.isEmpty() && !mp3Long.isEmpty(); }
};
const Media& media();
#define OMBRIX_NEED_MEDIA() \
    if (!::ombrix::test::media().ok()) GTEST_SKIP() << "lame is needed to make test songs"

/// Processes events until @p done or @p limitMs of real time passed; returns done().
bool waitFor(const std::function<bool()>& done, int limitMs = 20000);

}  // namespace ombrix::test
