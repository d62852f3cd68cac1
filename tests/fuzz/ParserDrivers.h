#pragma once

// One driver per parser of outside input. The libFuzzer targets call them with generated
// bytes; the regression test calls them with every saved input in regressions/<name>/.
// Each driver checks what must hold whatever the input and aborts when it does not.

#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>

#include "FuzzSupport.h"
#include "ShellLink.h"
#include "ombrix/control/CommandLine.h"
#include "ombrix/control/InstanceMessage.h"
#include "ombrix/library/ModernTagReader.h"
#include "ombrix/library/PlaylistFile.h"
#include "ombrix/library/SongTag.h"
#include "ombrix/media/ArchiveMember.h"
#include "ombrix/media/HttpDownloader.h"
#include "ombrix/probe/BufferByteSource.h"
#include "ombrix/probe/MediaProbe.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/TextFile.h"

namespace ombrix::fuzz {

/// The INI reader: parse, query, write back, parse again.
inline void iniDriver(const std::uint8_t* data, std::size_t size) {
    IniDocument doc;
    try {
        doc = IniDocument::parseText(bytesOf(data, size));
    } catch (const FileError&) {
        return;
    }
    for (const QString& section : doc.sectionNames()) {
        for (const QString& key : doc.keys(section)) {
            require(doc.readString(section, key).size() <= IniDocument::kMaxStringLength);
            (void)doc.readInteger(section, key, 0);
        }
        (void)doc.readList(section);
        (void)doc.readFont(section, QStringLiteral("f"), {});
        (void)doc.readWindowPosition(section, QStringLiteral("fmain"));
    }
    doc.writeList(QStringLiteral("recent"), {QStringLiteral("a"), QString()});
    const IniDocument again = IniDocument::parse(doc.toLines());
    require(again.readList(QStringLiteral("recent")) ==
            QStringList({QStringLiteral("a"), QString()}));
}

/// The playlist reader: ".dmp" and ".m3u" lines completed against a folder.
inline void playlistDriver(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    const bool m3u = data[0] & 1;
    const QStringList lines = TextFile::decodeLines(bytesOf(data + 1, size - 1));
    const QStringList done = PlaylistFile::complete(lines, QStringLiteral("/music/lists"), m3u);
    require(done.size() == lines.size());
}

/// ID3v1 and RIFF INFO reading, and writing into a copy of the input.
inline void tagDriver(const std::uint8_t* data, std::size_t size) {
    const QString file = scratchFile(".mp3");
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    SongTag tag;
    const bool has = SongTag::hasTag(file);
    require(tag.read(file));
    require(!has || tag.found());
    if (size > 0 && (data[0] & 1)) {
        tag.title = QStringLiteral("fuzz title");
        if (tag.write(file)) {
            SongTag back;
            require(back.read(file));
            require(back.found());
            require(back.title == QStringLiteral("fuzz title"));
        }
    }
    QFile::remove(file);
}

/// The media probe over bytes in memory.
inline void probeDriver(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const probe::BufferByteSource src(bytes);
    const std::int64_t offset = probe::startOffset(bytes);
    require(offset >= -1);
    require(offset == -1 || std::uint64_t(offset) <= size + 128 || probe::isRiff(src));
    (void)probe::isRiffWave(src);
    (void)probe::isMpegWave(src);
    if (const auto c = probe::findChunk(src, "LIST")) require(c->dataOffset <= size);
    (void)probe::id3v2Size(src, 0);
}

/// Archive member names and download document names: never a path out of the folder.
inline void memberNameDriver(const std::uint8_t* data, std::size_t size) {
    const QByteArray raw = bytesOf(data, size);
    for (const QString& stored : {QString::fromUtf8(raw), QString::fromLatin1(raw)}) {
        const QString name = safeMemberFileName(stored);
        require(!name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')));
        require(name != QLatin1String(".") && name != QLatin1String(".."));
        for (const QChar c : name) require(c.unicode() >= 0x20);
        const QString doc = HttpDownloader::documentName(QStringLiteral("http://h/") + stored);
        require(!doc.isEmpty() && !doc.contains(QLatin1Char('/')) && doc != QLatin1String(".."));
    }
}

/// The Shell Link reader.
inline void shellLinkDriver(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (!mixora::ShellLink::isShellLink(bytes)) return;
    try {
        const mixora::ShellLinkTarget t = mixora::ShellLink::parse(bytes);
        require(t.localPath.size() <= size * 3 + 16 || t.localPath.empty());
    } catch (const mixora::ShellLinkError&) {
    }
}

/// The ID3v2 and APE tag reader (texts and loudness values) over the input as a whole file.
inline void modernTagDriver(const std::uint8_t* data, std::size_t size) {
    const QString file = scratchFile(".mp3");
    if (!writeBytes(file, reinterpret_cast<const char*>(data), qint64(size))) return;
    const std::optional<ModernTagReader::Texts> texts = ModernTagReader::read(file);
    // Loudness values that are there are numbers within their ranges.
    const ReplayGainValues gain = ModernTagReader::readReplayGain(file);
    for (const auto& g : {gain.trackGain, gain.albumGain})
        require(!g || std::abs(*g) <= ReplayGain::kLargestGain);
    for (const auto& p : {gain.trackPeak, gain.albumPeak})
        require(!p || (*p > 0.0 && *p <= ReplayGain::kLargestPeak));
    QFile::remove(file);
    if (!texts) return;
    require(!texts->title.isEmpty() || !texts->artist.isEmpty() || !texts->album.isEmpty());
    for (const QString* t : {&texts->title, &texts->artist, &texts->album, &texts->year,
                             &texts->comment, &texts->genre})
        require(t->size() <= ModernTagReader::kMaxText);
}

/// The block a second start hands to the first: decoded and dispatched as the receiver does, and
/// the sender's side (the arguments joined, then packed) read back unchanged.
inline void instanceDriver(const std::uint8_t* data, std::size_t size) {
    const QByteArray block = bytesOf(data, size);
    const QString text = InstanceMessage::decode(block);
    require(text.size() <= InstanceMessage::kBlockSize);
    require(!text.contains(QChar(0)));
    const InstanceMessage m = InstanceMessage::parse(text);
    if (m.kind == InstanceMessage::Kind::Stop || m.kind == InstanceMessage::Kind::Cd)
        require(m.path.isEmpty());
    else if (!m.path.isEmpty() && !m.path.startsWith(QLatin1String("http")))
        require(QDir::isAbsolutePath(m.path) && QDir::cleanPath(m.path) == m.path);

    // The same bytes as a command line, one argument per zero byte.
    QStringList args;
    for (const QByteArray& a : block.split('\0')) args << QString::fromUtf8(a);
    const QString sent = CommandLine::joinForRunningInstance(args);
    require(sent.toUtf8().size() <= CommandLine::kMaxTextBytes);
    const QByteArray packed = InstanceMessage::encode(sent);
    require(packed.size() == InstanceMessage::kBlockSize);
    if (!sent.contains(QChar(0)) && !sent.startsWith(QChar(0xFEFF)))
        require(InstanceMessage::decode(packed) == sent);
}

/// A playlist file (".dmp" or ".m3u", chosen by the first byte) read from disk; what is saved
/// again reads back with the same absolute entries.
inline void playlistFileDriver(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    static const ScratchFolder folder("list");
    const bool m3u = data[0] & 1;
    const QString file = folder.file(m3u ? QStringLiteral("l.m3u") : QStringLiteral("l.dmp"));
    if (!writeBytes(file, reinterpret_cast<const char*>(data + 1), qint64(size - 1))) return;
    QStringList entries;
    try {
        entries = PlaylistFile::load(file);
    } catch (const FileError&) {
        return;
    }
    require(entries.size() == TextFile::decodeLines(bytesOf(data + 1, size - 1)).size());
    for (const QString& e : entries)
        require(!e.contains(QLatin1Char('\r')) && !e.contains(QLatin1Char('\n')));
    // The bytes save() would write, read back as load() reads them (without the disk: saving
    // syncs the file, which would make this driver a disk benchmark).
    const QStringList back =
        PlaylistFile::complete(TextFile::decodeLines(TextFile::encodeLines(entries)), folder.path(), m3u);
    require(back.size() == entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (entries[i].startsWith(QLatin1Char('/'))) require(back[i] == entries[i]);
}

}  // namespace ombrix::fuzz
