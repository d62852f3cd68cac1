#pragma once

#include <QString>
#include <QStringList>

namespace ombrix {

/**
 * @brief The 65 keys the keyboard page offers for the player's key bindings, each with the
 *        virtual-key code the "keybind" section stores: BACK, TAB, RETURN, ESCAPE, SPACE,
 *        PAGEUP, PAGEDOWN, END, HOME, INSERT, DELETE, NUM *, NUM +, NUM -, NUM /, F1..F24, A..Z.
 *
 * Thread affinity: any (constant data).
 */
class KeyTable {
public:
    static constexpr int kSize = 65;

    /// Every key name, in the order the lists show them.
    static QStringList names();
    /// The code of entry @p index (0..kSize-1).
    static int code(int index);
    /// The first entry whose code is @p code, or -1.
    static int indexOfCode(int code);
    /// The entry named @p name, or -1.
    static int indexOfName(const QString& name);
    /// How a stored code is shown: its key name, or "(code N)" for one not in the table.
    static QString label(int code);
};

}  // namespace ombrix
