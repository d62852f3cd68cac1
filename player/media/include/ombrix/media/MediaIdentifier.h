#pragma once

#include <QString>
#include <QStringList>
#include <utility>

#include "ombrix/media/ArchiveMember.h"

namespace ombrix {

/// Which player handles a file.
enum MediaKind : int {
    kKindUnknown = -2,   ///< unknown format
    kKindNotFound = -1,  ///< file not found
    kKindMci = 0,        ///< media control (wave, MIDI, video, CD audio)
    kKindModule = 1,     ///< tracker module: recognised, not played
    kKindMpeg = 2,       ///< MPEG audio through the decoder
};

/**
 * @brief Decides how a file is played and where its MPEG data begins.
 *
 * Thread affinity: any; the object only reads the flat extension list given to it.
 */
class MediaIdentifier {
public:
    /// Position in the flat extension list from which extensions count inside archives.
    static constexpr int kFirstArchivePlayable = 8;

    explicit MediaIdentifier(QStringList flatExtensions) : flat_(std::move(flatExtensions)) {}

    /// The file name's text from its last "." on, lower-cased ("" when it has none).
    static QString extension(const QString& name);
    /// The kind by extension and file probes (see MediaKind).
    static int mediaKind(const QString& name);
    /// The kind when a song is opened: a ".wav" holding MPEG Layer 3 becomes MPEG when
    /// @p overridecodec is set.
    static int refineKind(const QString& name, int kind, bool overridecodec);
    /// Offset of the first MPEG frame (RIFF "data" chunk, ID3v2 tag, 128-byte header); -1 when
    /// a RIFF file has no "data" chunk or the file cannot be read.
    static qint64 startOffset(const QString& name);

    /// The extension occurs in the flat extension list.
    bool isSupported(const QString& name) const;
    /// The extension occurs in the flat extension list at position kFirstArchivePlayable or later.
    bool isArchivePlayable(const QString& name) const;
    /// The indices of the members of an archive that the player plays, in archive order: the
    /// n-th of them is the archive's playlist entry n.
    QList<qsizetype> playableMembers(const QList<ArchiveMember>& members) const;

    const QStringList& flatExtensions() const noexcept { return flat_; }

private:
    QStringList flat_;
};

}  // namespace ombrix
