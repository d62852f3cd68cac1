#include "ombrix/library/ModernTagReader.h"

#include <taglib/apetag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/tbytevectorstream.h>

#include <QFile>
#include <filesystem>

#include "ombrix/probe/FileByteSource.h"

namespace ombrix {
namespace {

using Source = probe::ByteSource;

QByteArray readRange(const Source& src, std::uint64_t from, std::uint64_t size) {
    if (from >= src.size()) return {};
    size = std::min(size, src.size() - from);
    QByteArray b(qsizetype(size), '\0');
    b.resize(qsizetype(src.readAt(from, b.data(), size_t(size))));
    return b;
}

quint32 syncsafe(const uchar* p) {
    return (quint32(p[0] & 0x7F) << 21) | (quint32(p[1] & 0x7F) << 14) |
           (quint32(p[2] & 0x7F) << 7) | quint32(p[3] & 0x7F);
}
quint32 be32(const uchar* p) {
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
}
quint32 le32(const uchar* p) {
    return (quint32(p[3]) << 24) | (quint32(p[2]) << 16) | (quint32(p[1]) << 8) | p[0];
}
QByteArray syncsafeBytes(quint32 v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = char((v >> (7 * (3 - i))) & 0x7F);
    return b;
}

// A large ID3v2 tag (cover pictures) rebuilt from its small frames only, so that TagLib never
// sees, and this program never reads, the large ones. Empty when the tag cannot be walked.
QByteArray smallFramesOnly(const Source& src, const uchar* header, std::uint64_t tagEnd) {
    const int version = header[3];
    const uchar flags = header[5];
    // A 2.2/2.3 tag unsynchronised as a whole cannot be walked without decoding all of it.
    if (version < 4 && (flags & 0x80)) return {};
    std::uint64_t pos = 10;
    if (version >= 3 && (flags & 0x40)) {
        const QByteArray ext = readRange(src, pos, 4);
        if (ext.size() < 4) return {};
        const auto* e = reinterpret_cast<const uchar*>(ext.constData());
        pos += version == 3 ? 4 + be32(e) : syncsafe(e);
    }
    const int headerSize = version == 2 ? 6 : 10;
    QByteArray frames;
    while (pos + headerSize <= tagEnd && frames.size() < ModernTagReader::kWholeTagLimit) {
        const QByteArray h = readRange(src, pos, headerSize);
        if (h.size() < headerSize || h[0] == '\0') break;  // padding
        const auto* p = reinterpret_cast<const uchar*>(h.constData());
        const std::uint64_t size = version == 2   ? (quint32(p[3]) << 16) | (p[4] << 8) | p[5]
                                   : version == 3 ? be32(p + 4)
                                                  : syncsafe(p + 4);
        const std::uint64_t next = pos + headerSize + size;
        if (next > tagEnd) break;
        if (qint64(size) <= ModernTagReader::kFrameLimit)
            frames += readRange(src, pos, headerSize + size);
        pos = next;
    }
    if (frames.isEmpty()) return {};
    QByteArray tag(reinterpret_cast<const char*>(header), 10);
    tag[5] = char(flags & ~0x50);  // no extended header, no footer any more
    tag.replace(6, 4, syncsafeBytes(quint32(frames.size())));
    return tag + frames;
}

// The ID3v2 tag at the start of the file, as bytes TagLib can parse on their own.
QByteArray id3v2Bytes(const Source& src) {
    const QByteArray head = readRange(src, 0, 10);
    if (head.size() < 10 || !head.startsWith("ID3")) return {};
    const auto* h = reinterpret_cast<const uchar*>(head.constData());
    if (h[3] < 2 || h[3] > 4 || (h[6] | h[7] | h[8] | h[9]) & 0x80) return {};
    const std::uint64_t tagEnd = std::min<std::uint64_t>(10 + syncsafe(h + 6), src.size());
    if (qint64(tagEnd) > ModernTagReader::kWholeTagLimit) return smallFramesOnly(src, h, tagEnd);
    QByteArray tag = readRange(src, 0, tagEnd);
    // A size past the end of the file: the header is made to say what is really there.
    if (tag.size() >= 10) tag.replace(6, 4, syncsafeBytes(quint32(tag.size() - 10)));
    return tag;
}

// The APE tag (header, items and footer) at the end of the file or just before an ID3v1 tag.
QByteArray apeBytes(const Source& src) {
    const std::uint64_t size = src.size();
    for (const std::uint64_t tail : {std::uint64_t(0), std::uint64_t(128)}) {
        if (size < tail + 32) continue;
        const std::uint64_t footerAt = size - tail - 32;
        const QByteArray footer = readRange(src, footerAt, 32);
        if (footer.size() < 32 || !footer.startsWith("APETAGEX")) continue;
        const auto* f = reinterpret_cast<const uchar*>(footer.constData());
        const std::uint64_t tagSize = le32(f + 12);  // items and footer
        const bool hasHeader = le32(f + 20) & 0x80000000u;
        const std::uint64_t total = tagSize + (hasHeader ? 32 : 0);
        if (tagSize < 32 || qint64(total) > ModernTagReader::kApeLimit || total > footerAt + 32)
            return {};
        return readRange(src, footerAt + 32 - total, total);
    }
    return {};
}

QString text(const TagLib::String& s) {
    return QString::fromUtf8(s.toCString(true)).left(ModernTagReader::kMaxText).trimmed();
}

std::optional<ModernTagReader::Texts> parse(const QByteArray& bytes, ModernTagReader::Kind kind) {
    if (bytes.isEmpty()) return std::nullopt;
    TagLib::ByteVector data(bytes.constData(), unsigned(bytes.size()));
    TagLib::ByteVectorStream stream(data);
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid()) return std::nullopt;
    const TagLib::Tag* tag = kind == ModernTagReader::Kind::Id3v2
                                 ? static_cast<const TagLib::Tag*>(file.ID3v2Tag())
                                 : static_cast<const TagLib::Tag*>(file.APETag());
    if (!tag) return std::nullopt;
    ModernTagReader::Texts t;
    t.kind = kind;
    t.title = text(tag->title());
    t.artist = text(tag->artist());
    t.album = text(tag->album());
    t.year = tag->year() ? QString::number(tag->year()) : QString();
    t.comment = text(tag->comment());
    t.genre = text(tag->genre());
    if (t.title.isEmpty() && t.artist.isEmpty() && t.album.isEmpty()) return std::nullopt;
    return t;
}

// The loudness values among a tag's properties (TagLib gives their names in upper case);
// values already in @p values are kept.
void addReplayGain(const QByteArray& bytes, ModernTagReader::Kind kind, ReplayGainValues& values) {
    if (bytes.isEmpty()) return;
    TagLib::ByteVector data(bytes.constData(), unsigned(bytes.size()));
    TagLib::ByteVectorStream stream(data);
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid()) return;
    // Through the tag's own type: the base class's properties() knows the common texts only.
    TagLib::PropertyMap properties;
    if (kind == ModernTagReader::Kind::Id3v2) {
        if (const TagLib::ID3v2::Tag* tag = file.ID3v2Tag()) properties = tag->properties();
    } else if (const TagLib::APE::Tag* tag = file.APETag()) {
        properties = tag->properties();
    }
    const auto first = [&](const char* key) -> QString {
        const auto it = properties.find(key);
        if (it == properties.end() || it->second.isEmpty()) return {};
        return QString::fromUtf8(it->second.front().toCString(true)).left(64);
    };
    const auto fill = [&](std::optional<double>& field, const char* key, bool peak) {
        if (field) return;
        const QString text = first(key);
        field = peak ? ReplayGain::parsePeak(text) : ReplayGain::parseGain(text);
    };
    fill(values.trackGain, "REPLAYGAIN_TRACK_GAIN", false);
    fill(values.trackPeak, "REPLAYGAIN_TRACK_PEAK", true);
    fill(values.albumGain, "REPLAYGAIN_ALBUM_GAIN", false);
    fill(values.albumPeak, "REPLAYGAIN_ALBUM_PEAK", true);
}

}  // namespace

std::optional<ModernTagReader::Texts> ModernTagReader::read(const QString& fileName) noexcept {
    try {
        const probe::FileByteSource src(
            std::filesystem::path(QFile::encodeName(fileName).toStdString()));
        if (!src.valid()) return std::nullopt;
        if (auto t = parse(id3v2Bytes(src), Kind::Id3v2)) return t;
        return parse(apeBytes(src), Kind::Ape);
    } catch (...) {
        // TagLib does not throw by design; memory exhaustion is the one way left.
        return std::nullopt;
    }
}

ReplayGainValues ModernTagReader::readReplayGain(const QString& fileName) noexcept {
    ReplayGainValues values;
    try {
        const probe::FileByteSource src(
            std::filesystem::path(QFile::encodeName(fileName).toStdString()));
        if (!src.valid()) return values;
        addReplayGain(id3v2Bytes(src), Kind::Id3v2, values);
        addReplayGain(apeBytes(src), Kind::Ape, values);
    } catch (...) {
        // As read(): only memory exhaustion can throw here.
        return {};
    }
    return values;
}

}  // namespace ombrix
