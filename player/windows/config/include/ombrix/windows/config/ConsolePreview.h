#pragma once

#include <QImage>
#include <QString>

#include "ombrix/settings/PlayerSettings.h"

namespace ombrix {

/**
 * @brief The console page's picture of the panel screen: "resource/bg.bmp" (a dark screen of
 *        220 × 80 when it is missing) with a sample text for each of the three lines, in the
 *        screen font, at the lines' positions.
 *
 * Thread affinity: the GUI thread (fonts). Pure apart from that.
 */
class ConsolePreview {
public:
    static constexpr int kWidth = 220;
    static constexpr int kHeight = 80;

    /// The sample text of line content @p field (the index of the "idtag" lists).
    static QString sample(int field);
    static QImage render(const QImage& background, const PlayerSettings& settings);
};

}  // namespace ombrix
