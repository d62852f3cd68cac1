#include "ombrix/library/SongTag.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <array>
#include <cstring>
#include <filesystem>
#include <vector>

#include "ombrix/library/DiscTitles.h"
#include "ombrix/library/GenreTable.h"
#include "ombrix/library/ModernTagReader.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/probe/FileByteSource.h"
#include "ombrix/probe/RegularFile.h"
#include "ombrix/probe/RiffWalker.h"

namespace ombrix {
namespace {

constexpr qint64 kId3Size = 128;
constexpr qint64 kRiffWalkStart = 12;
// Most bytes after a RIFF file's audio that a tag write keeps in memory (other chunks, the old
// list); a file with more is left alone.
constexpr qint64 kMaxRiffTail = qint64{16} << 20;

QByteArray le32Bytes(quint32 v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

// Bytes up to the first zero byte.
QByteArray zeroTerminated(const QByteArray& bytes) {
    const qsizetype zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.left(zero);
}

// Decodes the raw fields of one tag: UTF-8 where a field is valid UTF-8, else the code page
// forced by @p choice or detected from all of the tag's text together (one code page per file).
LegacyText::CodePage decodeFields(const std::vector<std::pair<QByteArray, QString*>>& fields,
                                  const LegacyText::Choice& choice) {
    using CP = LegacyText::CodePage;
    QByteArray legacy;
    bool nonAsciiUtf8 = false;
    for (const auto& [bytes, out] : fields) {
        if (!LegacyText::isUtf8(bytes))
            legacy += bytes + ' ';
        else if (!LegacyText::isAscii(bytes))
            nonAsciiUtf8 = true;
    }
    CP page = choice.forced;
    if (page == CP::Auto && !legacy.isEmpty())
        page = LegacyText::detect(legacy, choice.preferJapanese);
    for (const auto& [bytes, out] : fields)
        *out =
            LegacyText::isUtf8(bytes) ? QString::fromUtf8(bytes) : LegacyText::decode(bytes, page);
    // Text with nothing but ASCII says nothing about its code page: a Japanese user's new
    // text then goes in Shift-JIS, everyone else's in UTF-8.
    if (page == CP::Auto && !nonAsciiUtf8 && choice.preferJapanese) page = CP::ShiftJis;
    return page;
}

// UTF-8 of @p text cut to at most @p max bytes without splitting a character.
QByteArray cutUtf8(const QString& text, qsizetype max) {
    QByteArray b = text.toUtf8();
    if (b.size() <= max) return b;
    qsizetype n = max;
    while (n > 0 && (static_cast<unsigned char>(b[n]) & 0xC0) == 0x80) --n;
    return b.left(n);
}

// @p text in @p size bytes: in @p page when given and every character fits it, else UTF-8.
QByteArray fixedField(const QString& text, qsizetype size,
                      LegacyText::CodePage page = LegacyText::CodePage::Auto) {
    QByteArray b = LegacyText::encodeCut(text, page, size).value_or(cutUtf8(text, size));
    b.append(QByteArray(size - b.size(), '\0'));
    return b;
}

// The INFO sub-chunks in the order they are written, with the field each one fills.
constexpr std::pair<const char*, QString SongTag::*> kInfoFields[] = {
    {"INAM", &SongTag::title},     {"IGNR", &SongTag::genreName}, {"IART", &SongTag::artist},
    {"IPRD", &SongTag::album},     {"ICMT", &SongTag::comment},   {"ICRD", &SongTag::year},
    {"ICOP", &SongTag::copyright}, {"ISFT", &SongTag::software},  {"ISRC", &SongTag::source},
    {"IENG", &SongTag::engineer},
};

std::filesystem::path fsPath(const QString& name) {
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

bool readAt(const probe::ByteSource& src, qint64 pos, char* out, qint64 n) {
    return pos >= 0 && src.readAt(std::uint64_t(pos), out, std::size_t(n)) == std::size_t(n);
}

bool readAt(QFile& f, qint64 pos, char* out, qint64 n) {
    return f.seek(pos) && f.read(out, n) == n;
}

bool startsWith(const probe::ByteSource& src, qint64 pos, const char* text) {
    const qint64 n = qint64(std::strlen(text));
    char buf[8];
    return n <= qint64(sizeof buf) && readAt(src, pos, buf, n) && std::memcmp(buf, text, n) == 0;
}

bool isInfoList(const probe::ByteSource& src, const probe::RiffChunk& c) {
    return c.is("LIST") && c.size >= 4 && startsWith(src, qint64(c.data()), "INFO");
}

// Opens a regular file only: a FIFO or device named like a song must not block or be written.
bool openRegular(QFile& f, const QString& fileName, QIODevice::OpenMode mode) {
    const int fd =
        probe::RegularFile::open(fsPath(fileName), mode & QIODevice::WriteOnly ? O_RDWR : O_RDONLY);
    if (fd < 0) return false;
    if (f.open(fd, mode, QFileDevice::AutoCloseHandle)) return true;
    ::close(fd);
    return false;
}

// Start of a tag cut short at the end of the file (a write that was interrupted), or -1.
// Only UTF-8 text and zero bytes can follow "TAG" in what this program writes; 0xFF, common in
// MPEG audio, never does, so audio that happens to hold "TAG" is not taken for a tag.
qint64 partialTagStart(QFile& f, qint64 size) {
    const qint64 from = qMax<qint64>(0, size - (kId3Size - 1));
    QByteArray tail(size - from, '\0');
    if (tail.size() < 3 || !readAt(f, from, tail.data(), tail.size())) return -1;
    for (qsizetype p = 0; p + 3 <= tail.size(); ++p) {
        if (!tail.mid(p).startsWith("TAG")) continue;
        const QByteArray rest = tail.mid(p);
        if (!rest.contains(char(0xFF)) && !rest.contains(char(0xFE))) return from + p;
    }
    return -1;
}

}  // namespace

void SongTag::clear(const QString& fileName) {
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

bool SongTag::hasTag(const QString& fileName) {
    const probe::FileByteSource src(fsPath(fileName));
    if (!src.valid()) return false;
    if (startsWith(src, 0, "RIFF")) {
        probe::RiffWalker walker(src);
        while (const auto c = walker.next())
            if (isInfoList(src, *c)) return true;
        return false;
    }
    const qint64 size = qint64(src.size());
    return size >= kId3Size && startsWith(src, size - kId3Size, "TAG");
}

bool SongTag::readTexts(const QString& fileName, const LegacyText::Choice& text) {
    if (!read(fileName, text)) return false;
    fromModernTag = false;
    if (found() || isRiff) return true;
    const auto modern = ModernTagReader::read(fileName);
    if (!modern) return true;
    if (!modern->title.isEmpty()) title = modern->title;
    artist = modern->artist;
    album = modern->album;
    year = modern->year;
    comment = modern->comment;
    genreName = modern->genre;
    fromModernTag = true;
    return true;
}

bool SongTag::read(const QString& fileName, const LegacyText::Choice& text) {
    const probe::FileByteSource src(fsPath(fileName));
    if (!src.valid()) return false;
    const qint64 size = qint64(src.size());
    fileSize = quint32(qMin<qint64>(size, 0xFFFFFFFF));
    clear(fileName);
    isRiff = startsWith(src, 0, "RIFF");
    tagId = QByteArray(3, '\0');
    fromModernTag = false;
    codePage = text.forced;
    std::vector<std::pair<QByteArray, QString*>> raw;
    if (!isRiff) {
        char tag[kId3Size];
        if (size >= kId3Size && readAt(src, size - kId3Size, tag, kId3Size)) {
            tagId = QByteArray(tag, 3);
            if (found()) {
                raw = {{zeroTerminated(QByteArray(tag + 3, 30)), &title},
                       {zeroTerminated(QByteArray(tag + 33, 30)), &artist},
                       {zeroTerminated(QByteArray(tag + 63, 30)), &album},
                       {zeroTerminated(QByteArray(tag + 93, 4)), &year},
                       {zeroTerminated(QByteArray(tag + 97, 30)), &comment}};
                codePage = decodeFields(raw, text);
                title = rightTrim(title);
                artist = rightTrim(artist);
                genreIndex = static_cast<unsigned char>(tag[127]);
                genreName = GenreTable::name(genreIndex);
            }
        }
    } else {
        probe::RiffWalker walker(src);
        while (const auto list = walker.next()) {
            if (!isInfoList(src, *list)) continue;
            // Sub-chunks are read only inside the LIST chunk and inside the file.
            probe::RiffWalker sub(src, list->data() + 4, list->data() + list->size);
            while (const auto c = sub.next()) {
                const std::uint64_t end =
                    qMin<std::uint64_t>(list->data() + list->size, src.size());
                const qint64 avail = qint64(qMin<std::uint64_t>(c->size, end - c->data()));
                QByteArray data(qMin<qint64>(avail, kMaxRiffValue), '\0');
                if (!data.isEmpty() && !readAt(src, qint64(c->data()), data.data(), data.size()))
                    break;
                for (const auto& [id, field] : kInfoFields) {
                    if (!c->is(id)) continue;
                    // A named pointer: clang before 16 cannot capture a structured binding.
                    QString* const target = &(this->*field);
                    std::erase_if(raw, [target](const auto& r) { return r.second == target; });
                    raw.emplace_back(zeroTerminated(data), target);
                    break;
                }
            }
            codePage = decodeFields(raw, text);
            tagId = "TAG";
            break;
        }
    }
    software = kSoftware;
    return true;
}

void SongTag::readCdTrack(const QString& entry, const DiscTitles& disc) {
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

bool SongTag::write(const QString& fileName) const {
    static const QStringList writable{".rmp", ".mp3", ".mp2", ".mpa", ".wav"};
    if (!writable.contains(MediaIdentifier::extension(fileName))) return false;
    const probe::FileByteSource src(fsPath(fileName));
    if (!src.valid()) return false;
    return startsWith(src, 0, "RIFF") ? writeRiff(fileName) : writeId3v1(fileName);
}

bool SongTag::writeId3v1(const QString& fileName) const {
    QFile f;
    // Unbuffered: after a failed write no buffered rest may reach the file later on close.
    if (!openRegular(f, fileName, QIODevice::ReadWrite | QIODevice::Unbuffered)) return false;
    const qint64 size = f.size();
    char id[3];
    qint64 at = size;  // append
    if (size >= kId3Size && readAt(f, size - kId3Size, id, 3) && QByteArray(id, 3) == "TAG")
        at = size - kId3Size;
    else if (const qint64 partial = partialTagStart(f, size); partial >= 0)
        at = partial;  // finish what an interrupted write began instead of appending after it
    QByteArray old(size - at, '\0');
    if (!old.isEmpty() && !readAt(f, at, old.data(), old.size())) return false;

    // One code page for the whole tag, so a reader detects one: the record's code page when
    // every text fits it, else UTF-8.
    LegacyText::CodePage page = codePage;
    for (const QString* t : {&title, &artist, &album, &year, &comment})
        if (!LegacyText::encode(*t, page)) page = LegacyText::CodePage::Auto;
    QByteArray tag("TAG");
    tag += fixedField(title, 30, page);
    tag += fixedField(artist, 30, page);
    tag += fixedField(album, 30, page);
    tag += fixedField(year, 4, page);
    tag += fixedField(comment, 30, page);
    tag += char(genreIndex & 0xFF);
    Q_ASSERT(tag.size() == kId3Size);
    // One write of the whole tag: the audio before it is never touched. Should it fail (a full
    // disk), the old bytes and the old length are put back.
    if (f.seek(at) && f.write(tag) == tag.size() && f.flush()) return true;
    f.unsetError();
    if (f.seek(at)) f.write(old);
    f.resize(size);
    f.flush();
    return false;
}

bool SongTag::writeRiff(const QString& fileName) const {
    // The file is changed in place, so hard links and extended attributes stay what they were:
    // older INFO lists before the audio become JUNK chunks of the same size (readers skip
    // them), and the new list is written after the audio in place of the old ones there. What
    // is overwritten is kept in memory and put back when a write fails.
    QFile f;
    if (!openRegular(f, fileName, QIODevice::ReadWrite | QIODevice::Unbuffered)) return false;
    const probe::FileByteSource in(fsPath(fileName));
    if (!in.valid()) return false;
    const qint64 size = f.size();
    probe::RiffWalker finder(in);
    const auto data = finder.find("data");
    // Without a complete data chunk there is nothing safe to put the tag after.
    if (!data || qint64(data->data() + data->size) > size) return false;
    const qint64 tailStart = qint64(data->paddedEnd());

    QList<qint64> listsBefore;  // INFO lists before the audio, to become JUNK
    QByteArray tail;            // the chunks after the audio, without INFO lists
    probe::RiffWalker walker(in);
    while (const auto c = walker.next()) {
        if (isInfoList(in, *c)) {
            if (c->header < data->header) listsBefore << qint64(c->header);
            continue;
        }
        if (c->header <= data->header) continue;
        // A chunk running past the end would hide the new list from readers: it goes.
        const qint64 chunkSize = qint64(c->paddedEnd() - c->header);
        if (qint64(c->paddedEnd()) > size || tail.size() + chunkSize > kMaxRiffTail) break;
        const qsizetype at = tail.size();
        tail.resize(at + qsizetype(chunkSize));
        if (!readAt(in, qint64(c->header), tail.data() + at, tail.size() - at)) return false;
    }

    QByteArray list("INFO");
    for (const auto& [id, field] : kInfoFields) {
        const QByteArray bytes = cutUtf8(this->*field, kMaxRiffWrite - 1);
        qsizetype fieldSize = bytes.size() + 1;
        fieldSize += fieldSize & 1;
        fieldSize = qMin<qsizetype>(fieldSize, kMaxRiffWrite);
        list += id;
        list += le32Bytes(quint32(fieldSize));
        list += bytes;
        list += QByteArray(fieldSize - bytes.size(), '\0');
    }
    tail += "LIST";
    tail += le32Bytes(quint32(list.size()));
    tail += list;

    // What the writes below overwrite.
    const qint64 oldTailSize = qMax<qint64>(0, size - tailStart);
    if (oldTailSize > kMaxRiffTail) return false;
    QByteArray oldTail(oldTailSize, '\0');
    char oldRiffSize[4];
    if ((oldTailSize > 0 && !readAt(f, tailStart, oldTail.data(), oldTailSize)) ||
        !readAt(f, 4, oldRiffSize, 4))
        return false;

    const qint64 total = tailStart + tail.size();
    auto writeAt = [&f](qint64 pos, const QByteArray& bytes) {
        return f.seek(pos) && f.write(bytes) == bytes.size();
    };
    bool ok = writeAt(tailStart, tail) && f.resize(total);
    for (qint64 at : listsBefore) ok = ok && writeAt(at, "JUNK");
    ok = ok && writeAt(4, le32Bytes(quint32(total - 8))) && f.flush();
    if (ok) return true;
    // A full disk or a failing device: everything goes back as it was.
    f.unsetError();
    for (qint64 at : listsBefore) writeAt(at, "LIST");
    writeAt(4, QByteArray(oldRiffSize, 4));
    writeAt(tailStart, oldTail);
    f.resize(size);
    f.flush();
    return false;
}

void SongTag::assign(const SongTag& other) {
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
    codePage = other.codePage;
    fromModernTag = other.fromModernTag;
}

QString SongTag::displayField(int index) const {
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

QString SongTag::rightTrim(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && text[n - 1].unicode() <= 0x20) --n;
    return text.left(n);
}

}  // namespace ombrix
