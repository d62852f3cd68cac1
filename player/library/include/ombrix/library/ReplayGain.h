#pragma once

#include <QString>
#include <optional>

namespace ombrix {

struct PlayerSettings;

/// The loudness values known of one song: gains in dB, peaks as linear sample values (1.0 = full
/// scale). A value that is missing or could not be read is nullopt.
struct ReplayGainValues {
    std::optional<double> trackGain;
    std::optional<double> trackPeak;
    std::optional<double> albumGain;
    std::optional<double> albumPeak;

    bool hasGain() const noexcept { return trackGain || albumGain; }
    bool operator==(const ReplayGainValues&) const = default;
};

/**
 * @brief The level a song is played at so that songs sound equally loud: the text of the tag
 *        values, and the linear factor chosen from the values, the mode and the pre-amp.
 *
 * Thread affinity: any (pure functions).
 */
class ReplayGain {
public:
    /// Settings key "replaygain": 0 off, 1 track, 2 album.
    enum class Mode { Off = 0, Track = 1, Album = 2 };
    /// The pre-amp and the gain of songs without values are held to this range, in dB.
    static constexpr int kMinDb = -15;
    static constexpr int kMaxDb = 15;
    /// A gain further from 0 dB than this is not a loudness correction but garbage.
    static constexpr double kLargestGain = 64.0;
    /// A peak above this (linear) is garbage; real peaks of decoded files stay near 1.
    static constexpr double kLargestPeak = 100.0;

    /// The mode of a settings value; one out of range counts as Track (the default).
    static Mode mode(int setting) noexcept;

    /// A gain as tags write it: "-6.48 dB", "+2.1 dB", "3.5" (the unit and blanks optional,
    /// '.' as the decimal point). nullopt for anything else.
    static std::optional<double> parseGain(const QString& text);
    /// A peak as tags write it: "0.988123" (greater than 0). nullopt for anything else.
    static std::optional<double> parsePeak(const QString& text);

    /**
     * @brief The factor the song's samples are multiplied by: 10^((gain + pre-amp) / 20).
     *
     * The gain is the album gain in Album mode, the track gain in Track mode, each falling back
     * to the other when missing. A song without either gets @p defaultDb alone (no pre-amp: it
     * is the whole gain of such songs). With a known peak (the one that goes with the gain
     * chosen, else the other) the factor is held so that peak x factor stays at or below full
     * scale. Off gives 1. @p preampDb and @p defaultDb are held to kMinDb..kMaxDb.
     */
    static double factor(const ReplayGainValues& values, Mode mode, double preampDb,
                         double defaultDb) noexcept;
    /// factor() with the mode, pre-amp and default of @p settings.
    static double factor(const ReplayGainValues& values, const PlayerSettings& settings) noexcept;
};

}  // namespace ombrix
