#include "ombrix/LhaArchive.h"

extern "C" {
#include <lhasa.h>
}

#include <QFile>
#include <QSaveFile>
#include <cstring>
#include <memory>

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
        ensureRoomFor(members_[index], destFile);
        QSaveFile out(destFile);
        if (!out.open(QIODevice::WriteOnly))
            throw ArchiveError("cannot write " + destFile.toStdString());
        char buf[65536];
        qint64 total = 0;
        for (;;) {
            const size_t got = lha_reader_read(a.reader.get(), buf, sizeof buf);
            if (got == 0) break;
            total += qint64(got);
            if (out.write(buf, qint64(got)) != qint64(got))
                throw ArchiveError("cannot write " + destFile.toStdString());
        }
        if (total != qint64(h->length))
            throw ArchiveError("damaged LHA member " + members_[index].name.toStdString());
        if (!out.commit()) throw ArchiveError("cannot write " + destFile.toStdString());
        return;
    }
    throw ArchiveError("LHA archive changed while reading: " + path_.toStdString());
}

}  // namespace ombrix
