#pragma once

#include <QFont>
#include <QString>

#include "ombrix/settings/IniDocument.h"

namespace ombrix {

/**
 * @brief The fonts of the screen, the LCD title and the LCD volume, made from their settings.
 *
 * Settings written on Windows name "Arial" (also the defaults); Linux has no such face and
 * fontconfig would pick any. Those names, and an empty one, become DejaVu Sans, which the
 * package installs, or the desktop's general font where it is missing. Sizes are points at
 * 96 dots per inch, and the glyphs are fully hinted so that small text sits on whole pixels.
 * Thread affinity: main thread (the font database).
 */
class PanelFont {
public:
    /// The face the panel uses where the settings name a Windows font.
    static QString defaultFamily();
    /// The family used for the stored name @p name.
    static QString familyFor(const QString& name);
    static QFont fromSetting(const FontSetting& setting);
};

}  // namespace ombrix
