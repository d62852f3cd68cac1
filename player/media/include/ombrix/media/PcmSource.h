#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

namespace ombrix {

/**
 * @brief Interleaved 16-bit PCM from a decoded file or a synthesizer, read frame by frame.
 *
 * Thread affinity: made on the main thread; afterwards read() and seek() are called by one
 * playback thread at a time, and nothing else touches the object while it plays. No method
 * throws.
 */
class PcmSource {
public:
    PcmSource() = default;
    virtual ~PcmSource() = default;
    PcmSource(const PcmSource&) = delete;
    PcmSource& operator=(const PcmSource&) = delete;

    virtual int channels() const noexcept = 0;
    virtual int sampleRate() const noexcept = 0;
    /// Frames of the whole source.
    virtual int64_t totalFrames() const noexcept = 0;
    /// Fills @p frames with up to @p count frames; returns how many, 0 at the end, -1 on an
    /// error.
    virtual int read(int16_t* frames, int count) noexcept = 0;
    /// Moves to @p frame; false when the source cannot go there.
    virtual bool seek(int64_t frame) noexcept = 0;

    int64_t lengthMs() const noexcept {
        return sampleRate() > 0 ? totalFrames() * 1000 / sampleRate() : 0;
    }
};

/// True for the files openPcmSource takes, by extension: sound files, MIDI and CD tracks.
bool hasPcmSource(const QString& file);

/// The usual places of General MIDI sound fonts, in the order they are preferred.
QStringList defaultSoundFonts();
/// The sound font to use: @p setting when it names a file, else the first of @p installed
/// that exists; empty when there is none.
QString findSoundFont(const QString& setting, const QStringList& installed = defaultSoundFonts());

/// The source for @p file: MIDI files (".mid", ".midi", ".rmi") are rendered with the sound
/// font @p soundFont (empty: none, and a MIDI file is refused), CD track entries
/// ("<drive>/trackNN.cda") are read from the disc, everything else is decoded by libsndfile.
/// Throws MediaError when the file cannot be played (CdTrackMissing for a track the disc does
/// not have).
std::unique_ptr<PcmSource> openPcmSource(const QString& file, const QString& soundFont);

}  // namespace ombrix
