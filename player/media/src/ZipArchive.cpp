#include "ombrix/media/ZipArchive.h"

#include <zip.h>

#include <QFile>

#include "RuntimeLibrary.h"
#include "ombrix/media/ExclusiveFile.h"

namespace ombrix {

namespace {

// libzip (and the compression and crypto libraries it brings) is loaded when the first
// archive is opened rather than linked: most runs never open one, and those libraries would
// otherwise take about 2 MiB of every run's memory.
struct ZipApi {
    decltype(&::zip_open) open = nullptr;
    decltype(&::zip_discard) discard = nullptr;
    decltype(&::zip_get_num_entries) numEntries = nullptr;
    decltype(&::zip_stat_init) statInit = nullptr;
    decltype(&::zip_stat_index) statIndex = nullptr;
    decltype(&::zip_file_get_external_attributes) externalAttributes = nullptr;
    decltype(&::zip_fopen_index) fopenIndex = nullptr;
    decltype(&::zip_fread) fread = nullptr;
    decltype(&::zip_fclose) fclose = nullptr;
    bool complete = false;

    // Thread-safe (a function-local static); the library stays loaded for the process's life.
    static const ZipApi& get() {
        static const ZipApi api = load();
        return api;
    }

private:
    static ZipApi load() {
        ZipApi api;
        RuntimeLibrary lib{"libzip.so.4", "libzip.so"};
        lib.bind(api.open, "zip_open");
        lib.bind(api.discard, "zip_discard");
        lib.bind(api.numEntries, "zip_get_num_entries");
        lib.bind(api.statInit, "zip_stat_init");
        lib.bind(api.statIndex, "zip_stat_index");
        lib.bind(api.externalAttributes, "zip_file_get_external_attributes");
        lib.bind(api.fopenIndex, "zip_fopen_index");
        lib.bind(api.fread, "zip_fread");
        lib.bind(api.fclose, "zip_fclose");
        api.complete = lib.complete();
        return api;
    }
};

const ZipApi& zipApi() {
    const ZipApi& api = ZipApi::get();
    if (!api.complete) throw ArchiveError("zip archives cannot be read: libzip is missing");
    return api;
}

}  // namespace

void ZipArchive::Closer::operator()(zip* z) const noexcept {
    ZipApi::get().discard(z);  // only archives that were opened through it get here
}

ZipArchive::ZipArchive(const QString& path) {
    const ZipApi& api = zipApi();
    int err = 0;
    zip_.reset(api.open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err));
    if (!zip_) throw ArchiveError("cannot open zip archive " + path.toStdString());
    const zip_int64_t n = api.numEntries(zip_.get(), 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        api.statInit(&st);
        if (api.statIndex(zip_.get(), zip_uint64_t(i), 0, &st) != 0 || !st.name) continue;
        const QString name = QString::fromUtf8(st.name);
        if (name.endsWith(QLatin1Char('/'))) continue;
        // Unix zip tools keep the file mode in the upper half of the external attributes.
        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        const bool link =
            api.externalAttributes(zip_.get(), zip_uint64_t(i), 0, &opsys, &attributes) == 0 &&
            opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & 0170000) == 0120000;
        members_.append({name, (st.valid & ZIP_STAT_SIZE) ? qint64(st.size) : 0, link});
        indices_.append(i);
    }
}

ZipArchive::~ZipArchive() = default;

void ZipArchive::extract(qsizetype index, const QString& destFile) const {
    if (index < 0 || index >= members_.size()) throw ArchiveError("no such zip member");
    const ArchiveMember& member = members_[index];
    const ZipApi& api = zipApi();
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> in(
        api.fopenIndex(zip_.get(), zip_uint64_t(indices_[index]), 0), api.fclose);
    if (!in) throw ArchiveError("cannot open zip member " + member.name.toStdString());
    ensureRoomFor(member, destFile);
    try {
        ExclusiveFile out(destFile);
        char buf[65536];
        // Never more than the declared size: the room check above was made for that many.
        while (out.size() < member.size) {
            const zip_int64_t want = qMin<qint64>(qint64(sizeof buf), member.size - out.size());
            const zip_int64_t got = api.fread(in.get(), buf, zip_uint64_t(want));
            if (got <= 0) throw ArchiveError("damaged zip member " + member.name.toStdString());
            out.write(buf, got);
        }
        // Reading on to the member's end makes libzip compare its checksum: a damaged member
        // fails here instead of being kept.
        if (api.fread(in.get(), buf, 1) != 0)
            throw ArchiveError("damaged zip member " + member.name.toStdString());
        out.commit();
    } catch (const ExclusiveFileError& e) {
        throw ArchiveError(e.what());
    }
}

}  // namespace ombrix
