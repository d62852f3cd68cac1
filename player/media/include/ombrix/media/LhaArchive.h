#pragma once

#include <QList>
#include <QString>

#include "ombrix/media/ArchiveError.h"
#include "ombrix/media/ArchiveMember.h"

namespace ombrix {

/**
 * @brief An LHA archive read through liblhasa. LHA is read front to back, so the archive is
 *        reopened for every extraction.
 *
 * Thread affinity: one thread at a time.
 */
class LhaArchive {
public:
    /// Lists @p path. @throws ArchiveError when it cannot be opened or holds no LHA header.
    explicit LhaArchive(const QString& path);

    /// Files in archive order (folders and links are left out).
    const QList<ArchiveMember>& members() const noexcept { return members_; }

    /**
     * @brief Decompresses member @p index of members() into @p destFile, atomically and without
     *        following a link at @p destFile; at most the member's declared size is written.
     * @throws ArchiveError on a damaged or short member or a write failure.
     */
    void extract(qsizetype index, const QString& destFile) const;

private:
    QString path_;
    QList<ArchiveMember> members_;
};

}  // namespace ombrix
