#include "ombrix/ArchiveMember.h"

namespace ombrix {

QString safeMemberFileName(const QString& storedName) {
    QString name = storedName;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    name = name.section(QLatin1Char('/'), -1);
    if (name == QLatin1String(".") || name == QLatin1String("..")) return {};
    // Control characters in a file name only cause trouble later (display, shell).
    for (const QChar c : name)
        if (c.unicode() < 0x20) return {};
    return name;
}

}  // namespace ombrix
