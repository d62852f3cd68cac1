#include "MidiSource.h"

#include <QFile>
#include <algorithm>

#include "ombrix/media/MediaControl.h"

namespace ombrix {
namespace {

constexpr qint64 kMaxMidiBytes = 64 * 1024 * 1024;

}  // namespace

MidiSource::MidiSource(const QString& file, const QString& soundFont) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly) || in.size() > kMaxMidiBytes)
        throw MediaError("file is not accesible or corrupt");
    timeline_ = MidiTimeline::parse(in.readAll());

    // Only a MIDI file can tell that a font is missing; every other file plays without one.
    const QString& font = soundFont;
    if (font.isEmpty()) throw MediaError("no sound font for MIDI files");

    settings_.reset(new_fluid_settings());
    if (!settings_) throw MediaError("the MIDI synthesizer cannot be started");
    fluid_settings_setnum(settings_.get(), "synth.sample-rate", kRate);
    fluid_settings_setint(settings_.get(), "synth.cpu-cores", 1);
    // FluidSynth's own default (0.2) leaves a General MIDI piece some 15 dB below other songs.
    fluid_settings_setnum(settings_.get(), "synth.gain", kGain);
    // Samples are read from the font when an instrument first needs them, so a large font
    // opens quickly.
    fluid_settings_setint(settings_.get(), "synth.dynamic-sample-loading", 1);
    fluid_settings_setstr(settings_.get(), "player.timing-source", "sample");
    synth_.reset(new_fluid_synth(settings_.get()));
    if (!synth_) throw MediaError("the MIDI synthesizer cannot be started");
    if (fluid_synth_sfload(synth_.get(), QFile::encodeName(font).constData(), 1) == FLUID_FAILED)
        throw MediaError("the sound font cannot be loaded");
    if (!startPlayer()) throw MediaError("the midi file is damaged");
    totalFrames_ = (timeline_.lengthUs() / 1000 + kTailMs) * kRate / 1000;
}

bool MidiSource::startPlayer() noexcept {
    if (player_) fluid_player_stop(player_.get());
    player_.reset(new_fluid_player(synth_.get()));
    if (!player_) return false;
    const QByteArray& smf = timeline_.smf();
    if (fluid_player_add_mem(player_.get(), smf.constData(), static_cast<size_t>(smf.size())) !=
            FLUID_OK ||
        fluid_player_play(player_.get()) != FLUID_OK)
        return false;
    // The player reads its file on its first turn, and only a read file can be sought in:
    // one frame (23 microseconds, not counted) lets it.
    int16_t first[2];
    fluid_synth_write_s16(synth_.get(), 1, first, 0, 2, first, 1, 2);
    // FluidSynth refuses a file whose tracks are cut off as a whole.
    return fluid_player_get_status(player_.get()) == FLUID_PLAYER_PLAYING;
}

MidiSource::~MidiSource() {
    if (player_) fluid_player_stop(player_.get());
}

int MidiSource::read(int16_t* frames, int count) noexcept {
    const int n = static_cast<int>(std::min<int64_t>(count, totalFrames_ - at_));
    if (n <= 0) return 0;
    if (fluid_synth_write_s16(synth_.get(), n, frames, 0, 2, frames, 1, 2) != FLUID_OK) return -1;
    at_ += n;
    return n;
}

bool MidiSource::seek(int64_t frame) noexcept {
    frame = std::clamp<int64_t>(frame, 0, totalFrames_);
    if (frame == at_) return true;
    // FluidSynth's seek leaves out the notes that start at the tick it moves to, so the start
    // is reached by a new player.
    if (frame == 0) {
        fluid_synth_all_sounds_off(synth_.get(), -1);
        at_ = 0;
        return startPlayer();
    }
    const int64_t tick = timeline_.tickAt(frame * 1'000'000 / kRate);
    // A player that has already passed its last event is started again to be moved.
    if (fluid_player_get_status(player_.get()) != FLUID_PLAYER_PLAYING)
        fluid_player_play(player_.get());
    if (fluid_player_seek(player_.get(), static_cast<int>(std::min<int64_t>(tick, INT32_MAX))) !=
        FLUID_OK)
        return false;
    fluid_synth_all_sounds_off(synth_.get(), -1);
    at_ = frame;
    return true;
}

}  // namespace ombrix
