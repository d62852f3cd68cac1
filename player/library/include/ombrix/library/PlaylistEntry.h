#pragma once

#include <QString>

namespace ombrix {

/**
 * @brief The kinds of playlist entries and how their texts are built. An entry is one string:
 *        a web address, a CD track (device + "/trackNN.cda"), an archive member (the archive's
 *        path, with the member's ordinal appended after the first) or a local file.
 *
 * Thread affinity: any (pure functions).
 */
class PlaylistEntry {
public:
    enum class Kind { Url, CdTrack, ArchiveMember, LocalFile };

    /// The kind, told apart in this order: "http" prefix, ".cda", ".zip…" extension, the rest.
    static Kind kindOf(const QString& entry);
    /// The entry of CD track @p track (1-based) of @p device: "/dev/sr0/track07.cda".
    static QString cdTrack(const QString& device, int track);
    /// The entry of the @p ordinal-th (0-based) playable member of @p archive: the archive's
    /// path for 0, the path followed by the ordinal for the others ("a.zip", "a.zip1", ...).
    static QString archiveMember(const QString& archive, int ordinal);
};

}  // namespace ombrix
