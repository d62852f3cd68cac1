#include "ombrix/desktop/HotKeySequence.h"

#include <QStringList>

namespace ombrix {

std::optional<HotKeySequence> HotKeySequence::parse(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('+'), Qt::KeepEmptyParts);
    if (parts.isEmpty()) return std::nullopt;
    HotKeySequence seq;
    for (int i = 0; i + 1 < parts.size(); ++i) {
        const QString m = parts.at(i).trimmed().toUpper();
        if (m == QLatin1String("SHIFT"))
            seq.modifiers |= kShift;
        else if (m == QLatin1String("CTRL") || m == QLatin1String("CONTROL"))
            seq.modifiers |= kCtrl;
        else if (m == QLatin1String("ALT"))
            seq.modifiers |= kAlt;
        else if (m == QLatin1String("WIN") || m == QLatin1String("META"))
            seq.modifiers |= kMeta;
        else
            return std::nullopt;
    }
    QString key = parts.last().trimmed();
    if (key.isEmpty()) return std::nullopt;
    // Key names as X11 spells them: one letter upper case, longer names capitalised ("Home").
    if (key.size() == 1)
        key = key.toUpper();
    else if (key.size() > 1 && key.at(0).toUpper() == QLatin1Char('F') && key.mid(1).toInt() > 0)
        key = QLatin1Char('F') + key.mid(1);
    else
        key = key.left(1).toUpper() + key.mid(1).toLower();
    seq.key = key;
    return seq;
}

}  // namespace ombrix
