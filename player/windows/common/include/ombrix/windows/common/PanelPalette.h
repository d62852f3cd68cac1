#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>
#include <optional>

namespace ombrix {

/**
 * @brief The tool windows' colours taken from a panel image: the panel's face (its most common
 *        tone) and an accent (its most vivid tone), and the palette built from them, with text
 *        that stays readable on every background it is drawn on.
 *
 * Thread affinity: any (pure functions).
 */
class PanelPalette {
public:
    struct Colours {
        QColor face;    ///< the panel's most common tone
        QColor accent;  ///< its most vivid tone apart from the face (selection, links)
    };

    /// The accent of a panel without a vivid tone of its own.
    static inline const QColor kDefaultAccent{0x2b, 0xb3, 0xa8};
    /// Contrast every text colour keeps against its background (WCAG's AA level).
    static constexpr double kMinTextContrast = 4.5;
    /// Contrast a selected row keeps against the rows around it.
    static constexpr double kMinSelectionContrast = 1.6;

    /**
     * @brief The face and accent of @p image; pixels of colour @p cutOut (the panel's
     *        transparent colour, when its shape cuts that colour out) do not count.
     *        nullopt for an image without visible pixels.
     */
    static std::optional<Colours> measure(const QImage& image, std::optional<QRgb> cutOut);

    /// The palette of every colour group: window and buttons in the face's tone, a list
    /// background a step further from the text, the selection in the accent.
    static QPalette derive(const Colours& colours);

    /// WCAG relative luminance, 0 (black) to 1 (white).
    static double luminance(const QColor& c);
    /// WCAG contrast ratio of two colours, 1 to 21.
    static double contrast(const QColor& a, const QColor& b);
    /// The text colour for @p background: a soft white or black, or a pure one where the soft
    /// one would fall below kMinTextContrast.
    static QColor textOn(const QColor& background);
};

}  // namespace ombrix
