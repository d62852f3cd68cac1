#include "ombrix/media/LhaArchive.h"

extern "C" {
#include <lhasa.h>
}

#include <QFile>
#include <cstring>
#include <memory>

#include "ombrix/media/ExclusiveFile.h"

namespace ombrix {
namespace {

struct StreamFree {
    void operator()(LHAInputStream* s) const noexcept { lha_input_stream_free(s); }
};
struct ReaderFree {
    void operator()(LHAReader* r) const noexcept { lha_reader_free(r); }
};

// Keeps the stream alive as long as the reader that reads from it.
struct OpenArchive {
    std::unique_ptr<LHAInputStream, StreamFree> stream;
    std::unique_ptr<LHAReader, ReaderFree> reader;
};

OpenArchive openArchive(const QString& path) {
    QByteArray name = QFile::encodeName(path);
    OpenArchive a;
    a.stream.reset(lha_input_stream_from(name.data()));
    if (!a.stream) throw ArchiveError("cannot open LHA archive " + path.toStdString());
    a.reader.reset(lha_reader_new(a.stream.get()));
    if (!a.reader) throw ArchiveError("cannot read LHA archive " + path.toStdString());
    return a;
}

bool isPlainFile(const LHAFileHeader* h) {
    return h->filename != nullptr && h->symlink_target == nullptr &&
           std::strcmp(h->compress_method, LHA_COMPRESS_TYPE_DIR) != 0;
}

}  // namespace

LhaArchive::LhaArchive(const QString& path) : path_(path) {
    OpenArchive a = openArchive(path);
    bool any = false;
    while (LHAFileHeader* h = lha_reader_next_file(a.reader.get())) {
        any = true;
        if (!isPlainFile(h)) continue;
        QString name = QString::fromLocal8Bit(h->filename);
        if (h->path) name.prepend(QString::fromLocal8Bit(h->path));
        members_.append({name, qint64(h->length)});
    }
    if (!any) throw ArchiveError("not an LHA archive: " + path.toStdString());
}

void LhaArchive::extract(qsizetype index, const QString& destFile) const {
    if (index < 0 || index >= members_.size()) throw ArchiveError("no such LHA member");
    OpenArchive a = openArchive(path_);
    qsizetype seen = -1;
    while (LHAFileHeader* h = lha_reader_next_file(a.reader.get())) {
        if (!isPlainFile(h) || ++seen != index) continue;
        const ArchiveMember& member = members_[index];
        if (qint64(h->length) != member.size) break;
        ensureRoomFor(member, destFile);
        try {
            ExclusiveFile out(destFile);
            char buf[65536];
            // Never more than the declared size: the room check above was made for that many.
            while (out.size() < member.size) {
                const size_t want =
                    size_t(qMin<qint64>(qint64(sizeof buf), member.size - out.size()));
                const size_t got = lha_reader_read(a.reader.get(), buf, want);
                if (got == 0) throw ArchiveError("damaged LHA member " + member.name.toStdString());
                out.write(buf, qint64(got));
            }
            out.commit();
        } catch (const ExclusiveFileError& e) {
            throw ArchiveError(e.what());
        }
        return;
    }
    throw ArchiveError("LHA archive changed while reading: " + path_.toStdString());
}

}  // namespace ombrix
