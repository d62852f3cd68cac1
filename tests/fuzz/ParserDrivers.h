#pragma once

// One driver per parser of outside input. The libFuzzer targets call them with generated
// bytes; the regression test calls them with every saved input in regressions/<name>/.
// Each driver checks what must hold whatever the input and aborts when it does not.

#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "ShellLink.h"
#include "ombrix/library/PlaylistFile.h"
#include "ombrix/library/SongTag.h"
#include "ombrix/media/ArchiveMember.h"
#include "ombrix/media/HttpDownloader.h"
#include "ombrix/probe/BufferByteSource.h"
#include "ombrix/probe/MediaProbe.h"
#include "ombrix/settings/IniDocument.h"
#include "ombrix/settings/TextFile.h"

namespace ombrix::fuzz {

inline void require(bool condition) {
    if (!condition) std::abort();
}

inline QByteArray bytesOf(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

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

/// Scratch file of one fuzzing process; @p ext decides how the tag reader treats it.
inline QString scratchFile(const char* ext) {
    return QStringLiteral("/tmp/ombrix-fuzz-%1%2").arg(::getpid()).arg(QLatin1String(ext));
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

}  // namespace ombrix::fuzz
