#pragma once

#include <QString>
#include <array>
#include <optional>

namespace ombrix {

class EqualizerSink;
class IniDocument;

/**
 * @brief The sixteen slider positions of the equaliser and the gains they stand for. Each
 *        slider drives two neighbouring bands of the decoder's 32.
 *
 * Positions run 0..1000: 0 is the top of a slider and doubles the level, 500 leaves it alone,
 * 1000 silences the band. The positions are kept in the main settings file, section "feq".
 * Thread affinity: one thread at a time. Nothing throws.
 */
class EqualizerCurve {
public:
    static constexpr int kSliders = 16;
    static constexpr int kMinPosition = 0;
    static constexpr int kMaxPosition = 1000;
    static constexpr int kFlatPosition = 500;
    static inline const QString kSection = QStringLiteral("feq");

    /// Gain of a slider at @p position (clamped to 0..1000): 2.0 at 0, 1.0 at 500, 0.0 at 1000.
    static float gainFor(int position) noexcept;
    /// The slider number 1..16 of a control named "ScrollBar" + one or two digits; nullopt for
    /// any other name.
    static std::optional<int> sliderNumber(const QString& controlName);
    /// The settings key of slider @p number (1..16): "ScrollBar" + number.
    static QString keyFor(int number);

    EqualizerCurve();

    /// Position of slider @p number (1..16).
    int position(int number) const;
    float gain(int number) const;
    /// Sets slider @p number (1..16) to @p position, clamped to 0..1000; other numbers are
    /// ignored.
    void setPosition(int number, int position) noexcept;
    /// Every slider to the flat position.
    void reset() noexcept;

    /// Sends the whole curve: bands 2k and 2k + 1 get the gain of slider k + 1 (32 calls).
    void send(EqualizerSink& sink) const noexcept;

    /// The positions stored in section "feq" (500 for a missing or unreadable key, clamped).
    void read(const IniDocument& ini) noexcept;
    void write(IniDocument& ini) const;

private:
    std::array<int, kSliders> positions_{};
};

}  // namespace ombrix
