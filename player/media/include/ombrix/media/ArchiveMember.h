#pragma once

#include <QString>

namespace ombrix {

/// One file stored in an archive, as listed in archive order. A value type.
struct ArchiveMember {
    QString name;       ///< the stored name, possibly with folders inside the archive
    qint64 size = 0;    ///< uncompressed size in bytes
    bool link = false;  ///< stored as a symbolic link (zip archives made on Unix)
};

/**
 * @brief The file name an archive member may be extracted under: its base name only, so that
 *        no stored path ("../x", "/etc/x", "a\\b") can leave the destination folder.
 * @return the base name, or an empty string when nothing usable is left.
 */
QString safeMemberFileName(const QString& storedName);

/**
 * @brief Refuses an extraction that would leave the destination's disk with less than a small
 *        reserve, so that a member claiming a huge size (an archive bomb) cannot fill the disk.
 * @throws ArchiveError when @p size bytes do not fit beside the reserve.
 */
void ensureRoomFor(const ArchiveMember& member, const QString& destFile);

}  // namespace ombrix
