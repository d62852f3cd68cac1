#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace ombrix {

/**
 * @brief The timing of a Standard MIDI File (bare, or inside a RIFF "RMID" file): its tempo
 *        map and its last event, to give the song's length and to turn a time into a tick.
 *
 * A pure function of the bytes. A track that runs past the end of the data (a cut-off file)
 * is read as far as it goes.
 * Thread affinity: any.
 */
class MidiTimeline {
public:
    /// Throws MediaError when @p bytes hold no Standard MIDI File.
    static MidiTimeline parse(const QByteArray& bytes);

    /// The Standard MIDI File itself (the "data" chunk of an RMID file).
    const QByteArray& smf() const noexcept { return smf_; }
    /// Microseconds from the start to the last event of any track.
    int64_t lengthUs() const noexcept { return usAt(endTick_); }
    /// The tick that falls at @p us.
    int64_t tickAt(int64_t us) const noexcept;
    /// The time of @p tick in microseconds.
    int64_t usAt(int64_t tick) const noexcept;

private:
    struct Tempo {
        int64_t tick = 0;
        int64_t us = 0;        // time at `tick`
        double usPerTick = 0;  // from `tick` on
    };

    QByteArray smf_;
    std::vector<Tempo> tempo_;  // sorted by tick, the first at tick 0
    int64_t endTick_ = 0;
};

}  // namespace ombrix
