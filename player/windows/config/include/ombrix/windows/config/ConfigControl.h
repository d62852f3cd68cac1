#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "ombrix/settings/PlayerSettings.h"

namespace ombrix {

/**
 * @brief One control of the configuration window and the setting it edits: the page, the
 *        widget's object name, its caption, how its value maps to the setting, and the range.
 *
 * Thread affinity: any (constant data).
 */
struct ConfigControl {
    enum class Kind {
        Check,          ///< a check box on a bool
        InvertedCheck,  ///< a check box on a bool that means the opposite
        Spin,           ///< a spin box on an int in [min, max]
        Combo,          ///< a list whose index + offset is the int
        ComboValue,     ///< a list of numbers; the chosen number is the int
        Key,            ///< a list of KeyTable names; the chosen key's code is the int
        Line,           ///< a text line on a string
    };
    QString page;
    QString object;
    QString caption;
    Kind kind = Kind::Check;
    bool& (*boolRef)(PlayerSettings&) = nullptr;
    int& (*intRef)(PlayerSettings&) = nullptr;
    QString& (*textRef)(PlayerSettings&) = nullptr;
    int min = 0;
    int max = 0;
    QStringList items;  ///< fixed items of a list (lists filled at run time have none)
    int offset = 0;     ///< Combo: value = index + offset
    QString tip;
    bool enabled = true;  ///< false: shown, not usable (the tip says why)

    /// Every control, page by page, in the order the pages show them.
    static const QList<ConfigControl>& all();
    /// The control named @p object, or nullptr.
    static const ConfigControl* find(const QString& object);
    /// The pages, in order.
    static QStringList pages();
};

}  // namespace ombrix
