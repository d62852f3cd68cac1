#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace ombrix {

/// A drive or disc image that cannot be read as an audio disc; what() is the status text.
class CdError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// One track of a disc's table of contents. Sectors are 1/75 s of audio (2352 bytes).
struct CdTrack {
    static constexpr int kSectorsPerSecond = 75;
    static constexpr int kFramesPerSector = 588;  // stereo frames of 44.1 kHz audio

    int number = 0;
    int32_t firstSector = 0;  // logical sector number of the track's start
    int32_t sectors = 0;
    bool audio = true;

    int64_t startMs() const noexcept { return int64_t{firstSector} * 1000 / kSectorsPerSecond; }
    int64_t lengthMs() const noexcept { return int64_t{sectors} * 1000 / kSectorsPerSecond; }
};

/// The titles a disc carries itself (CD-TEXT): the album's, and one per track in disc order.
struct CdText {
    QString albumTitle;
    QString albumPerformer;
    QStringList trackTitles;  // index 0 is the first track; empty strings where none is given
    QStringList trackPerformers;

    bool empty() const noexcept;
};

class CdTrackReader;

/**
 * @brief An audio disc in a drive (`/dev/sr0`) or a disc image (`.cue`, `.toc`, `.nrg`, which
 *        libcdio opens like a drive): its table of contents, its CD-TEXT, and readers for its
 *        tracks.
 *
 * Thread affinity: one thread at a time. Readers open the drive again, so they may be used on
 * another thread while the disc object lives on.
 */
class CdDisc {
public:
    /// Opens @p drive. Throws CdError("cd not ready") for an empty drive, a disc without a
    /// table of contents, or one whose first track is not audio (a data disc).
    static std::unique_ptr<CdDisc> open(const QString& drive);

    ~CdDisc();
    CdDisc(const CdDisc&) = delete;
    CdDisc& operator=(const CdDisc&) = delete;

    const QString& drive() const noexcept { return drive_; }
    /// Every track in disc order (data tracks of a mixed-mode disc too, marked as such).
    const std::vector<CdTrack>& tracks() const noexcept { return tracks_; }
    /// The track numbered @p number, or null.
    const CdTrack* track(int number) const noexcept;
    /// The sector after the last track (the lead-out).
    int32_t leadOutSector() const noexcept { return leadOut_; }
    const CdText& cdText() const noexcept { return cdText_; }

    /// A reader of audio track @p number. Throws CdError for a data track or a number the disc
    /// does not have.
    std::unique_ptr<CdTrackReader> readTrack(int number) const;

private:
    CdDisc() = default;

    QString drive_;
    std::vector<CdTrack> tracks_;
    int32_t leadOut_ = 0;
    CdText cdText_;
};

/**
 * @brief Reads one audio track as 44.1 kHz stereo 16-bit frames, from its first sector to its
 *        last. A drive is read with cdparanoia's error correction (a scratch is retried, then
 *        skipped and counted); an image is read directly.
 *
 * Thread affinity: the thread that reads (the playback thread). No method throws.
 */
class CdTrackReader {
public:
    ~CdTrackReader();
    CdTrackReader(const CdTrackReader&) = delete;
    CdTrackReader& operator=(const CdTrackReader&) = delete;

    int channels() const noexcept { return 2; }
    int sampleRate() const noexcept { return 44100; }
    int64_t totalFrames() const noexcept {
        return int64_t{track_.sectors} * CdTrack::kFramesPerSector;
    }
    const CdTrack& track() const noexcept { return track_; }

    /// Fills @p frames with up to @p count frames; returns how many, 0 at the track's end, -1
    /// when the drive can no longer be read (the disc was taken out).
    int read(int16_t* frames, int count) noexcept;
    /// Moves to @p frame of the track (held to it).
    bool seek(int64_t frame) noexcept;
    /// Sectors that could not be read even after retries and were played as silence.
    int skippedSectors() const noexcept { return skipped_; }

private:
    friend class CdDisc;
    struct Device;
    CdTrackReader(std::unique_ptr<Device> device, const CdTrack& track);
    bool fillSector() noexcept;

    std::unique_ptr<Device> device_;
    CdTrack track_;
    int32_t nextSector_ = 0;  // within the track
    std::vector<int16_t> sector_;
    int sectorPos_ = 0;  // frames of sector_ already handed out
    int skipped_ = 0;
};

/// The CD drives of this machine (device paths such as "/dev/sr0"), as libcdio finds them.
QStringList listCdDrives();

/// The folder where a disc's own files are seen: the mount point of the drive's device, or the
/// folder of a disc image; empty when the disc is not mounted.
QString discRootFolder(const QString& drive, const QString& mountTable = "/proc/self/mounts");

}  // namespace ombrix
