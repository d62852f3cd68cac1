#include "ombrix/ZipArchive.h"

#include <zip.h>

#include <QFile>
#include <QSaveFile>

namespace ombrix {

void ZipArchive::Closer::operator()(zip* z) const noexcept {
    zip_discard(z);
}

ZipArchive::ZipArchive(const QString& path) {
    int err = 0;
    zip_.reset(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err));
    if (!zip_) throw ArchiveError("cannot open zip archive " + path.toStdString());
    const zip_int64_t n = zip_get_num_entries(zip_.get(), 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip_.get(), zip_uint64_t(i), 0, &st) != 0 || !st.name) continue;
        const QString name = QString::fromUtf8(st.name);
        if (name.endsWith(QLatin1Char('/'))) continue;
        members_.append({name, (st.valid & ZIP_STAT_SIZE) ? qint64(st.size) : 0});
        indices_.append(i);
    }
}

ZipArchive::~ZipArchive() = default;

void ZipArchive::extract(qsizetype index, const QString& destFile) const {
    if (index < 0 || index >= members_.size()) throw ArchiveError("no such zip member");
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> in(
        zip_fopen_index(zip_.get(), zip_uint64_t(indices_[index]), 0), &zip_fclose);
    if (!in) throw ArchiveError("cannot open zip member " + members_[index].name.toStdString());
    ensureRoomFor(members_[index], destFile);
    QSaveFile out(destFile);
    if (!out.open(QIODevice::WriteOnly))
        throw ArchiveError("cannot write " + destFile.toStdString());
    char buf[65536];
    for (;;) {
        const zip_int64_t got = zip_fread(in.get(), buf, sizeof buf);
        if (got < 0) throw ArchiveError("damaged zip member " + members_[index].name.toStdString());
        if (got == 0) break;
        if (out.write(buf, got) != got)
            throw ArchiveError("cannot write " + destFile.toStdString());
    }
    if (!out.commit()) throw ArchiveError("cannot write " + destFile.toStdString());
}

}  // namespace ombrix
