#pragma once

#include <QString>

namespace ombrix {

/**
 * @brief What the playlist and the tag record need from the disc record of the CD in the drive.
 *        Tracks are numbered from 1.
 *
 * Thread affinity: main thread.
 */
class DiscTitles {
public:
    virtual ~DiscTitles() = default;
    virtual int trackCount() const = 0;
    virtual QString discTitle() const = 0;
    virtual QString trackTitle(int track) const = 0;
    virtual QString trackExtended(int track) const = 0;
    virtual qint32 trackLengthMs(int track) const = 0;

    /// The track number of a CD-track entry: the digits after "track" in "track07.cda" (0 if none).
    static int trackNumber(const QString& entry);
};

}  // namespace ombrix
