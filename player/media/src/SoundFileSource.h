#pragma once

#include <sndfile.h>

#include <memory>

#include "ombrix/media/PcmSource.h"

namespace ombrix {

/**
 * @brief A sound file decoded by libsndfile: WAV, FLAC, Ogg Vorbis, Opus and the other formats
 *        the library reads, as 16-bit PCM.
 * Thread affinity: see PcmSource.
 */
class SoundFileSource final : public PcmSource {
public:
    /// Throws MediaError when the file is not a sound file libsndfile reads or holds no audio.
    explicit SoundFileSource(const QString& file);

    int channels() const noexcept override { return info_.channels; }
    int sampleRate() const noexcept override { return info_.samplerate; }
    int64_t totalFrames() const noexcept override { return info_.frames; }
    int read(int16_t* frames, int count) noexcept override;
    bool seek(int64_t frame) noexcept override;

private:
    struct Closer {
        void operator()(SNDFILE* f) const noexcept;
    };
    std::unique_ptr<SNDFILE, Closer> file_;
    SF_INFO info_{};
};

}  // namespace ombrix
