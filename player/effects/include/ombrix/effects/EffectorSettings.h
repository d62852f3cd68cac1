#pragma once

#include <QString>
#include <optional>

namespace ombrix {

class EffectsDesk;
class IniDocument;

/**
 * @brief The effect settings of the DJ control as an effector settings file (a preset, or
 *        "lasttime.ini"): INI section "soundoption" with the reverb, delay, surround and
 *        karaoke controls. Positions are the controls' own, not the values the engine gets.
 *
 * Every value is held to its control's range; a missing or unreadable key takes the file's
 * default, which is then held to the range as well.
 * Thread affinity: a value type.
 */
struct EffectorSettings {
    struct Range {
        int min;
        int max;
        int clamp(qint64 v) const noexcept;
    };
    static constexpr Range kReverbDelay{1, 128};
    static constexpr Range kReverbAmount{0, 32767};
    static constexpr Range kReverbDecay{200, 30000};
    static constexpr Range kDelayTime{1, 32767};
    static constexpr Range kDelayAmount{0, 32767};
    static constexpr Range kDelayPan{-32768, 32767};
    static constexpr Range kDelayFeed{0, 32767};
    static inline const QString kSection = QStringLiteral("soundoption");
    /// The presets' folder in the home, and the preset that keeps the last run's settings.
    static inline const QString kPresetFolder = QStringLiteral("fx");
    static inline const QString kLastTime = QStringLiteral("lasttime.ini");

    // The controls' initial state.
    bool reverb = false;
    int reverbDecay = 200;
    int reverbDelay = 128;
    int reverbAmount = 32700;
    bool delay = false;
    int delayTime = 200;
    int delayAmount = 200;
    int delayPan = 200;
    int delayFeed = 200;
    bool surround = false;
    bool cancelVocal = false;

    bool operator==(const EffectorSettings&) const = default;

    /// The settings of @p ini (file defaults for missing keys), held to the ranges.
    static EffectorSettings fromIni(const IniDocument& ini);
    /// Rewrites section "soundoption" of @p ini, keys in the file's order.
    void toIni(IniDocument& ini) const;

    /// The settings of the file @p path; nullopt when it does not exist or is not a readable
    /// INI file (nothing is to change then). Never throws.
    static std::optional<EffectorSettings> load(const QString& path);
    /// Writes the settings to @p path atomically; other sections of an existing file stay.
    /// @throws FileError when the file cannot be written.
    void save(const QString& path) const;

    /// Every value held to its range.
    void clamp() noexcept;
    /// Sends every setting to @p desk in the file's order, scaled as the engine takes it.
    void applyTo(EffectsDesk& desk) const noexcept;
};

}  // namespace ombrix
