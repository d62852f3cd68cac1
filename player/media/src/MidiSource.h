#pragma once

#include <fluidsynth.h>

#include <memory>

#include "ombrix/media/MidiTimeline.h"
#include "ombrix/media/PcmSource.h"

namespace ombrix {

/**
 * @brief A MIDI file rendered by FluidSynth with a General MIDI sound font: 16-bit stereo at
 *        44.1 kHz, driven by the sample count (no timer thread), so rendering is as fast as the
 *        output asks and a seek is exact.
 *
 * The length is the last event's time plus kTailMs for the last notes to fade. A seek moves
 * FluidSynth's player to the tick at that time (from the file's own tempo map) and silences
 * what was sounding; the start is reached with a new player.
 * Thread affinity: see PcmSource.
 */
class MidiSource final : public PcmSource {
public:
    static constexpr int kRate = 44100;
    static constexpr int kTailMs = 500;
    static constexpr double kGain = 0.6;

    /// Throws MediaError when @p file is not a MIDI file or @p soundFont (empty: none) cannot
    /// be loaded.
    MidiSource(const QString& file, const QString& soundFont);
    ~MidiSource() override;

    int channels() const noexcept override { return 2; }
    int sampleRate() const noexcept override { return kRate; }
    int64_t totalFrames() const noexcept override { return totalFrames_; }
    int read(int16_t* frames, int count) noexcept override;
    bool seek(int64_t frame) noexcept override;

private:
    /// A new player of the file at its start, run for one frame so that it has read the file;
    /// false when FluidSynth refuses the file.
    bool startPlayer() noexcept;

    struct SettingsDeleter {
        void operator()(fluid_settings_t* s) const noexcept;
    };
    struct SynthDeleter {
        void operator()(fluid_synth_t* s) const noexcept;
    };
    struct PlayerDeleter {
        void operator()(fluid_player_t* p) const noexcept;
    };

    MidiTimeline timeline_;
    // Destroyed in reverse: the player before the synth before the settings.
    std::unique_ptr<fluid_settings_t, SettingsDeleter> settings_;
    std::unique_ptr<fluid_synth_t, SynthDeleter> synth_;
    std::unique_ptr<fluid_player_t, PlayerDeleter> player_;
    int64_t totalFrames_ = 0;
    int64_t at_ = 0;
};

}  // namespace ombrix
