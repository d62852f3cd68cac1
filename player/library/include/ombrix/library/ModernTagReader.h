#pragma once

#include <QString>
#include <optional>

#include "ombrix/library/ReplayGain.h"

namespace ombrix {

/**
 * @brief Reads the texts of an ID3v2 (2.2, 2.3, 2.4) tag at the start of a file, or else of an
 *        APE tag at its end, and the loudness values of both, through TagLib. Read-only: the
 *        file is never written.
 *
 * Only the tag's bytes are read, and only a bounded part of them: an ID3v2 tag larger than
 * kWholeTagLimit is read frame by frame, keeping frames up to kFrameLimit (the texts) and
 * skipping the rest (pictures); APE tags larger than kApeLimit are ignored. Sizes that point
 * past the end of the file are cut at it. Only regular files are opened.
 * Thread affinity: any thread. Nothing throws.
 */
class ModernTagReader {
public:
    static constexpr qint64 kWholeTagLimit = 256 * 1024;
    static constexpr qint64 kFrameLimit = 64 * 1024;
    static constexpr qint64 kApeLimit = 1024 * 1024;
    /// Longest text kept of one field, in characters.
    static constexpr qsizetype kMaxText = 1024;

    enum class Kind { Id3v2, Ape };
    struct Texts {
        Kind kind = Kind::Id3v2;
        QString title;
        QString artist;
        QString album;
        QString year;
        QString comment;
        QString genre;
    };

    /// The texts of @p fileName's ID3v2 tag, else of its APE tag; nullopt when it has neither
    /// (or neither has a title, artist or album).
    static std::optional<Texts> read(const QString& fileName) noexcept;

    /// The loudness values of @p fileName: the user-defined texts (ID3v2 TXXX) and APE items
    /// REPLAYGAIN_TRACK_GAIN, _TRACK_PEAK, _ALBUM_GAIN and _ALBUM_PEAK, names in any case. A
    /// value of the ID3v2 tag wins over the APE tag's; values that do not read as numbers are
    /// missing. Empty when the file has none.
    static ReplayGainValues readReplayGain(const QString& fileName) noexcept;
};

}  // namespace ombrix
