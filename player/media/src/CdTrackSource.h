#pragma once

#include <memory>

#include "ombrix/media/CdDisc.h"
#include "ombrix/media/PcmSource.h"

namespace ombrix {

/**
 * @brief A track of an audio disc as PCM: the playlist entry "<drive>/trackNN.cda" read from
 *        its first sector to its last, so elapsed time starts at 0 and a seek stays within it.
 * Thread affinity: see PcmSource.
 */
class CdTrackSource final : public PcmSource {
public:
    /// Throws MediaError("cd not ready") when the drive holds no audio disc, and
    /// CdTrackMissing when the disc has no such audio track.
    explicit CdTrackSource(const QString& entry);

    int channels() const noexcept override { return reader_->channels(); }
    int sampleRate() const noexcept override { return reader_->sampleRate(); }
    int64_t totalFrames() const noexcept override { return reader_->totalFrames(); }
    int read(int16_t* frames, int count) noexcept override { return reader_->read(frames, count); }
    bool seek(int64_t frame) noexcept override { return reader_->seek(frame); }

private:
    std::unique_ptr<CdTrackReader> reader_;
};

}  // namespace ombrix
