#pragma once

#include <QList>
#include <QString>
#include <memory>

#include "ombrix/media/ArchiveError.h"
#include "ombrix/media/ArchiveMember.h"

struct zip;

namespace ombrix {

/**
 * @brief A zip archive opened for reading through libzip.
 *
 * Thread affinity: one thread at a time.
 */
class ZipArchive {
public:
    /// Opens @p path. @throws ArchiveError when it is missing or not a zip archive.
    explicit ZipArchive(const QString& path);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    /// Files in archive order (folder entries are left out).
    const QList<ArchiveMember>& members() const noexcept { return members_; }

    /**
     * @brief Writes member @p index of members() to @p destFile, atomically (a partly
     *        extracted file never appears under that name) and without following a link at
     *        @p destFile (see ExclusiveFile); at most the member's declared size is written.
     * @throws ArchiveError on a damaged member or a write failure.
     */
    void extract(qsizetype index, const QString& destFile) const;

private:
    struct Closer {
        void operator()(zip* z) const noexcept;
    };
    std::unique_ptr<zip, Closer> zip_;
    QList<ArchiveMember> members_;
    QList<qint64> indices_;  // libzip index of each member
};

}  // namespace ombrix
