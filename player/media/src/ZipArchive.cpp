#include "ombrix/media/ZipArchive.h"

#include <zip.h>

#include <QFile>

#include "ombrix/media/ExclusiveFile.h"

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
        // Unix zip tools keep the file mode in the upper half of the external attributes.
        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        const bool link = zip_file_get_external_attributes(zip_.get(), zip_uint64_t(i), 0, &opsys,
                                                           &attributes) == 0 &&
                          opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & 0170000) == 0120000;
        members_.append({name, (st.valid & ZIP_STAT_SIZE) ? qint64(st.size) : 0, link});
        indices_.append(i);
    }
}

ZipArchive::~ZipArchive() = default;

void ZipArchive::extract(qsizetype index, const QString& destFile) const {
    if (index < 0 || index >= members_.size()) throw ArchiveError("no such zip member");
    const ArchiveMember& member = members_[index];
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> in(
        zip_fopen_index(zip_.get(), zip_uint64_t(indices_[index]), 0), &zip_fclose);
    if (!in) throw ArchiveError("cannot open zip member " + member.name.toStdString());
    ensureRoomFor(member, destFile);
    try {
        ExclusiveFile out(destFile);
        char buf[65536];
        // Never more than the declared size: the room check above was made for that many.
        while (out.size() < member.size) {
            const zip_int64_t want = qMin<qint64>(qint64(sizeof buf), member.size - out.size());
            const zip_int64_t got = zip_fread(in.get(), buf, zip_uint64_t(want));
            if (got <= 0) throw ArchiveError("damaged zip member " + member.name.toStdString());
            out.write(buf, got);
        }
        // Reading on to the member's end makes libzip compare its checksum: a damaged member
        // fails here instead of being kept.
        if (zip_fread(in.get(), buf, 1) != 0)
            throw ArchiveError("damaged zip member " + member.name.toStdString());
        out.commit();
    } catch (const ExclusiveFileError& e) {
        throw ArchiveError(e.what());
    }
}

}  // namespace ombrix
