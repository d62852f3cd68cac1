#include "MidiSource.h"

#include <QFile>
#include <algorithm>

#include "RuntimeLibrary.h"
#include "ombrix/media/MediaControl.h"

namespace ombrix {
namespace {

constexpr qint64 kMaxMidiBytes = 64 * 1024 * 1024;

// FluidSynth (and the audio, GLib and sound-font libraries it brings) is loaded with the first
// MIDI file.
struct FluidApi {
    decltype(&::new_fluid_settings) new_fluid_settings = nullptr;
    decltype(&::delete_fluid_settings) delete_fluid_settings = nullptr;
    decltype(&::fluid_settings_setnum) fluid_settings_setnum = nullptr;
    decltype(&::fluid_settings_setint) fluid_settings_setint = nullptr;
    decltype(&::fluid_settings_setstr) fluid_settings_setstr = nullptr;
    decltype(&::new_fluid_synth) new_fluid_synth = nullptr;
    decltype(&::delete_fluid_synth) delete_fluid_synth = nullptr;
    decltype(&::fluid_synth_sfload) fluid_synth_sfload = nullptr;
    decltype(&::new_fluid_player) new_fluid_player = nullptr;
    decltype(&::delete_fluid_player) delete_fluid_player = nullptr;
    decltype(&::fluid_player_stop) fluid_player_stop = nullptr;
    decltype(&::fluid_player_add_mem) fluid_player_add_mem = nullptr;
    decltype(&::fluid_player_play) fluid_player_play = nullptr;
    decltype(&::fluid_synth_write_s16) fluid_synth_write_s16 = nullptr;
    decltype(&::fluid_player_get_status) fluid_player_get_status = nullptr;
    decltype(&::fluid_synth_all_sounds_off) fluid_synth_all_sounds_off = nullptr;
    decltype(&::fluid_player_seek) fluid_player_seek = nullptr;
    bool complete = false;

    static const FluidApi& get() {
        static const FluidApi api = load();
        return api;
    }

private:
    static FluidApi load() {
        FluidApi api;
        RuntimeLibrary lib{"libfluidsynth.so.3", "libfluidsynth.so"};
        lib.bind(api.new_fluid_settings, "new_fluid_settings");
        lib.bind(api.delete_fluid_settings, "delete_fluid_settings");
        lib.bind(api.fluid_settings_setnum, "fluid_settings_setnum");
        lib.bind(api.fluid_settings_setint, "fluid_settings_setint");
        lib.bind(api.fluid_settings_setstr, "fluid_settings_setstr");
        lib.bind(api.new_fluid_synth, "new_fluid_synth");
        lib.bind(api.delete_fluid_synth, "delete_fluid_synth");
        lib.bind(api.fluid_synth_sfload, "fluid_synth_sfload");
        lib.bind(api.new_fluid_player, "new_fluid_player");
        lib.bind(api.delete_fluid_player, "delete_fluid_player");
        lib.bind(api.fluid_player_stop, "fluid_player_stop");
        lib.bind(api.fluid_player_add_mem, "fluid_player_add_mem");
        lib.bind(api.fluid_player_play, "fluid_player_play");
        lib.bind(api.fluid_synth_write_s16, "fluid_synth_write_s16");
        lib.bind(api.fluid_player_get_status, "fluid_player_get_status");
        lib.bind(api.fluid_synth_all_sounds_off, "fluid_synth_all_sounds_off");
        lib.bind(api.fluid_player_seek, "fluid_player_seek");
        api.complete = lib.complete();
        return api;
    }
};

// Only called once the synthesizer was made through it, or after the check in the constructor.
const FluidApi& fluid() {
    return FluidApi::get();
}

}  // namespace

void MidiSource::SettingsDeleter::operator()(fluid_settings_t* s) const noexcept {
    fluid().delete_fluid_settings(s);
}

void MidiSource::SynthDeleter::operator()(fluid_synth_t* s) const noexcept {
    fluid().delete_fluid_synth(s);
}

void MidiSource::PlayerDeleter::operator()(fluid_player_t* p) const noexcept {
    fluid().delete_fluid_player(p);
}

MidiSource::MidiSource(const QString& file, const QString& soundFont) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly) || in.size() > kMaxMidiBytes)
        throw MediaError("file is not accesible or corrupt");
    timeline_ = MidiTimeline::parse(in.readAll());

    // Only a MIDI file can tell that a font is missing; every other file plays without one.
    const QString& font = soundFont;
    if (font.isEmpty()) throw MediaError("no sound font for MIDI files");

    if (!FluidApi::get().complete)
        throw MediaError("MIDI files cannot be played: FluidSynth is missing");
    settings_.reset(fluid().new_fluid_settings());
    if (!settings_) throw MediaError("the MIDI synthesizer cannot be started");
    fluid().fluid_settings_setnum(settings_.get(), "synth.sample-rate", kRate);
    fluid().fluid_settings_setint(settings_.get(), "synth.cpu-cores", 1);
    // FluidSynth's own default (0.2) leaves a General MIDI piece some 15 dB below other songs.
    fluid().fluid_settings_setnum(settings_.get(), "synth.gain", kGain);
    // Samples are read from the font when an instrument first needs them, so a large font
    // opens quickly.
    fluid().fluid_settings_setint(settings_.get(), "synth.dynamic-sample-loading", 1);
    fluid().fluid_settings_setstr(settings_.get(), "player.timing-source", "sample");
    synth_.reset(fluid().new_fluid_synth(settings_.get()));
    if (!synth_) throw MediaError("the MIDI synthesizer cannot be started");
    if (fluid().fluid_synth_sfload(synth_.get(), QFile::encodeName(font).constData(), 1) ==
        FLUID_FAILED)
        throw MediaError("the sound font cannot be loaded");
    if (!startPlayer()) throw MediaError("the midi file is damaged");
    totalFrames_ = (timeline_.lengthUs() / 1000 + kTailMs) * kRate / 1000;
}

bool MidiSource::startPlayer() noexcept {
    if (player_) fluid().fluid_player_stop(player_.get());
    player_.reset(fluid().new_fluid_player(synth_.get()));
    if (!player_) return false;
    const QByteArray& smf = timeline_.smf();
    if (fluid().fluid_player_add_mem(player_.get(), smf.constData(),
                                     static_cast<size_t>(smf.size())) != FLUID_OK ||
        fluid().fluid_player_play(player_.get()) != FLUID_OK)
        return false;
    // The player reads its file on its first turn, and only a read file can be sought in:
    // one frame (23 microseconds, not counted) lets it.
    int16_t first[2];
    fluid().fluid_synth_write_s16(synth_.get(), 1, first, 0, 2, first, 1, 2);
    // FluidSynth refuses a file whose tracks are cut off as a whole.
    return fluid().fluid_player_get_status(player_.get()) == FLUID_PLAYER_PLAYING;
}

MidiSource::~MidiSource() {
    if (player_) fluid().fluid_player_stop(player_.get());
}

int MidiSource::read(int16_t* frames, int count) noexcept {
    const int n = static_cast<int>(std::min<int64_t>(count, totalFrames_ - at_));
    if (n <= 0) return 0;
    if (fluid().fluid_synth_write_s16(synth_.get(), n, frames, 0, 2, frames, 1, 2) != FLUID_OK)
        return -1;
    at_ += n;
    return n;
}

bool MidiSource::seek(int64_t frame) noexcept {
    frame = std::clamp<int64_t>(frame, 0, totalFrames_);
    if (frame == at_) return true;
    // FluidSynth's seek leaves out the notes that start at the tick it moves to, so the start
    // is reached by a new player.
    if (frame == 0) {
        fluid().fluid_synth_all_sounds_off(synth_.get(), -1);
        at_ = 0;
        return startPlayer();
    }
    const int64_t tick = timeline_.tickAt(frame * 1'000'000 / kRate);
    // A player that has already passed its last event is started again to be moved.
    if (fluid().fluid_player_get_status(player_.get()) != FLUID_PLAYER_PLAYING)
        fluid().fluid_player_play(player_.get());
    if (fluid().fluid_player_seek(player_.get(),
                                  static_cast<int>(std::min<int64_t>(tick, INT32_MAX))) != FLUID_OK)
        return false;
    fluid().fluid_synth_all_sounds_off(synth_.get(), -1);
    at_ = frame;
    return true;
}

}  // namespace ombrix
