#include "ombrix/Tidtag.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <array>

#include "ombrix/DiscTitles.h"
#include "ombrix/GenreTable.h"
#include "ombrix/MediaIdentifier.h"
#include "ombrix/TextFile.h"

namespace ombrix {
namespace {

constexpr qint64 kId3Size = 128;
constexpr qint64 kRiffWalkStart = 12;

quint32 le32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

QByteArray le32Bytes(quint32 v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

// Text up to the first zero byte.
QString zeroTerminated(const QByteArray& bytes) {
    const qsizetype zero = bytes.indexOf('\0');
    return TextFile::decodeLine(zero < 0 ? bytes : bytes.left(zero));
}

// UTF-8 of @p text cut to at most @p max bytes without splitting a character.
QByteArray cutUtf8(const QString& text, qsizetype max) {
    QByteArray b = text.toUtf8();
    if (b.size() <= max) return b;
    qsizetype n = max;
    while (n > 0 && (static_cast<unsigned char>(b[n]) & 0xC0) == 0x80) --n;
    return b.left(n);
}

QByteArray fixedField(const QString& text, qsizetype size) {
    QByteArray b = cutUtf8(text, size);
    b.append(QByteArray(size - b.size(), '\0'));
    return b;
}

bool readAt(QFile& f, qint64 pos, char* out, qint64 n) {
    return f.seek(pos) && f.read(out, n) == n;
}

struct RiffChunk {
    QByteArray id;
    quint32 size = 0;
    qint64 header = 0;  // offset of the chunk's id
    qint64 data() const { return header + 8; }
    qint64 paddedEnd() const { return data() + qint64(size) + (size & 1u); }
};

// The chunks of a RIFF file from offset 12 whose headers lie inside the file.
QList<RiffChunk> riffChunks(QFile& f) {
    QList<RiffChunk> chunks;
    const qint64 end = f.size();
    qint64 pos = kRiffWalkStart;
    while (pos + 8 <= end) {
        char h[8];
        if (!readAt(f, pos, h, 8)) break;
        RiffChunk c{QByteArray(h, 4), le32(h + 4), pos};
        chunks.append(c);
        pos = c.paddedEnd();
    }
    return chunks;
}

bool isInfoList(QFile& f, const RiffChunk& c) {
    char type[4];
    return c.id == "LIST" && c.size >= 4 && readAt(f, c.data(), type, 4) &&
           QByteArray(type, 4) == "INFO";
}

}  // namespace

void Tidtag::clear(const QString& fileName) {
    title = QFileInfo(fileName).completeBaseName();
    album.clear();
    comment.clear();
    artist.clear();
    year.clear();
    genreName.clear();
    copyright.clear();
    source.clear();
    engineer.clear();
    genreIndex = 0;
    software = kSoftware;
}

bool Tidtag::hasTag(const QString& fileName) {
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) return false;
    char magic[4];
    if (readAt(f, 0, magic, 4) && QByteArray(magic, 4) == "RIFF") {
        for (const RiffChunk& c : riffChunks(f))
            if (isInfoList(f, c)) return true;
        return false;
    }
    char id[3];
    return f.size() >= kId3Size && readAt(f, f.size() - kId3Size, id, 3) &&
           QByteArray(id, 3) == "TAG";
}

bool Tidtag::read(const QString& fileName) {
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) return false;
    fileSize = quint32(qMin<qint64>(f.size(), 0xFFFFFFFF));
    clear(fileName);
    char magic[4];
    const bool riff = readAt(f, 0, magic, 4) && QByteArray(magic, 4) == "RIFF";
    isRiff = riff;
    if (!riff) {
        tagId = QByteArray(3, '\0');
        char tag[kId3Size];
        if (f.size() >= kId3Size && readAt(f, f.size() - kId3Size, tag, kId3Size)) {
            tagId = QByteArray(tag, 3);
            if (found()) {
                title = rightTrim(zeroTerminated(QByteArray(tag + 3, 30)));
                artist = rightTrim(zeroTerminated(QByteArray(tag + 33, 30)));
                album = zeroTerminated(QByteArray(tag + 63, 30));
                year = zeroTerminated(QByteArray(tag + 93, 4));
                comment = zeroTerminated(QByteArray(tag + 97, 30));
                genreIndex = static_cast<unsigned char>(tag[127]);
                genreName = GenreTable::name(genreIndex);
            }
        }
    } else {
        tagId = QByteArray(3, '\0');
        for (const RiffChunk& list : riffChunks(f)) {
            if (!isInfoList(f, list)) continue;
            // Sub-chunks are read only inside the LIST chunk and inside the file.
            const qint64 end = qMin(list.data() + qint64(list.size), f.size());
            qint64 pos = list.data() + 4;
            while (pos + 8 <= end) {
                char h[8];
                if (!readAt(f, pos, h, 8)) break;
                const QByteArray id(h, 4);
                const quint32 size = le32(h + 4);
                const qint64 avail = qMin<qint64>(qint64(size), end - (pos + 8));
                QByteArray data(qMin<qint64>(avail, kMaxRiffValue), '\0');
                if (!data.isEmpty() && !readAt(f, pos + 8, data.data(), data.size())) break;
                const QString value = zeroTerminated(data);
                if (id == "INAM")
                    title = value;
                else if (id == "IGNR")
                    genreName = value;
                else if (id == "IART")
                    artist = value;
                else if (id == "IPRD")
                    album = value;
                else if (id == "ICMT")
                    comment = value;
                else if (id == "ICRD")
                    year = value;
                else if (id == "ICOP")
                    copyright = value;
                else if (id == "ISFT")
                    software = value;
                else if (id == "ISRC")
                    source = value;
                else if (id == "IENG")
                    engineer = value;
                pos += 8 + qint64(size) + (size & 1u);
            }
            tagId = "TAG";
            break;
        }
    }
    software = kSoftware;
    return true;
}

void Tidtag::readCdTrack(const QString& entry, const DiscTitles& disc) {
    const int track = DiscTitles::trackNumber(entry);
    if (track >= 1 && track <= disc.trackCount()) {
        title = disc.trackTitle(track);
        artist = disc.trackExtended(track);
        album = disc.discTitle();
        lengthMs = disc.trackLengthMs(track);
    } else {
        title = QStringLiteral("not found");
        artist.clear();
        album = disc.discTitle();
        lengthMs = 0;
    }
    tagId = "TAG";
}

bool Tidtag::write(const QString& fileName) const {
    static const QStringList writable{".rmp", ".mp3", ".mp2", ".mpa", ".wav"};
    if (!writable.contains(MediaIdentifier::extension(fileName))) return false;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) return false;
    char magic[4];
    const bool riff = readAt(f, 0, magic, 4) && QByteArray(magic, 4) == "RIFF";
    f.close();
    return riff ? writeRiff(fileName) : writeId3v1(fileName);
}

bool Tidtag::writeId3v1(const QString& fileName) const {
    QFile f(fileName);
    if (!f.open(QIODevice::ReadWrite)) return false;
    char id[3];
    const bool hasOld =
        f.size() >= kId3Size && readAt(f, f.size() - kId3Size, id, 3) && QByteArray(id, 3) == "TAG";
    QByteArray tag("TAG");
    tag += fixedField(title, 30);
    tag += fixedField(artist, 30);
    tag += fixedField(album, 30);
    tag += fixedField(year, 4);
    tag += fixedField(comment, 30);
    tag += char(genreIndex & 0xFF);
    Q_ASSERT(tag.size() == kId3Size);
    // One write of the whole tag, in place or appended: the audio before it is never touched.
    if (!f.seek(hasOld ? f.size() - kId3Size : f.size())) return false;
    return f.write(tag) == tag.size() && f.flush();
}

bool Tidtag::writeRiff(const QString& fileName) const {
    QFile in(fileName);
    if (!in.open(QIODevice::ReadOnly)) return false;
    const QList<RiffChunk> chunks = riffChunks(in);
    qsizetype dataIndex = -1;
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        if (chunks[i].id == "data") {
            dataIndex = i;
            break;
        }
    }
    // Without a complete data chunk there is nothing safe to put the tag after.
    if (dataIndex < 0 || chunks[dataIndex].data() + qint64(chunks[dataIndex].size) > in.size())
        return false;

    QSaveFile out(fileName);
    if (!out.open(QIODevice::WriteOnly)) return false;
    char header[kRiffWalkStart];
    if (!readAt(in, 0, header, kRiffWalkStart) ||
        out.write(header, kRiffWalkStart) != kRiffWalkStart)
        return false;
    // Copy every chunk up to and including "data" except older INFO lists, so that exactly one
    // LIST/INFO chunk remains and readers find the new one.
    for (qsizetype i = 0; i <= dataIndex; ++i) {
        const RiffChunk& c = chunks[i];
        if (isInfoList(in, c)) continue;
        const qint64 end = qMin(c.paddedEnd(), in.size());
        if (!in.seek(c.header)) return false;
        qint64 left = end - c.header;
        while (left > 0) {
            const QByteArray block = in.read(qMin<qint64>(left, 1 << 20));
            if (block.isEmpty() || out.write(block) != block.size()) return false;
            left -= block.size();
        }
        if (c.paddedEnd() > end && out.write("\0", 1) != 1) return false;  // missing pad byte
    }

    const std::array<std::pair<const char*, const QString*>, 10> fields{{
        {"INAM", &title},
        {"IGNR", &genreName},
        {"IART", &artist},
        {"IPRD", &album},
        {"ICMT", &comment},
        {"ICRD", &year},
        {"ICOP", &copyright},
        {"ISFT", &software},
        {"ISRC", &source},
        {"IENG", &engineer},
    }};
    QByteArray list("INFO");
    for (const auto& [id, text] : fields) {
        const QByteArray bytes = cutUtf8(*text, kMaxRiffWrite - 1);
        qsizetype size = bytes.size() + 1;
        size += size & 1;
        size = qMin<qsizetype>(size, kMaxRiffWrite);
        list += id;
        list += le32Bytes(quint32(size));
        list += bytes;
        list += QByteArray(size - bytes.size(), '\0');
    }
    QByteArray chunk("LIST");
    chunk += le32Bytes(quint32(list.size()));
    chunk += list;
    if (out.write(chunk) != chunk.size()) return false;
    const qint64 total = out.pos();
    if (!out.seek(4) || out.write(le32Bytes(quint32(total - 8))) != 4) return false;
    in.close();
    const QFileDevice::Permissions permissions = QFile::permissions(fileName);
    if (!out.commit()) return false;
    // The rebuilt file replaces the old one; it keeps the old one's permissions.
    QFile::setPermissions(fileName, permissions);
    return true;
}

void Tidtag::assign(const Tidtag& other) {
    title = other.title;
    album = other.album;
    comment = other.comment;
    artist = other.artist;
    year = other.year;
    genreName = other.genreName;
    copyright = other.copyright;
    software = other.software;
    source = other.source;
    engineer = other.engineer;
    lengthMs = other.lengthMs;
    genreIndex = other.genreIndex;
    fileSize = other.fileSize;
    isRiff = other.isRiff;
}

QString Tidtag::displayField(int index) const {
    const QString sep = QStringLiteral(" / ");
    switch (index) {
        case 0:
            return rightTrim(title);
        case 1:
            return rightTrim(artist);
        case 2:
            return rightTrim(album);
        case 3:
            return rightTrim(year);
        case 4:
            return rightTrim(comment);
        case 5:
            return rightTrim(genreName);
        case 6:
            return rightTrim(artist + sep + album);
        case 7:
            return rightTrim(artist + sep + genreName);
        case 9:
            return rightTrim(copyright);
        case 10:
            return rightTrim(software);
        case 11:
            return rightTrim(source);
        case 12:
            return rightTrim(engineer);
        default:
            return {};
    }
}

QString Tidtag::rightTrim(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && text[n - 1].unicode() <= 0x20) --n;
    return text.left(n);
}

}  // namespace ombrix
