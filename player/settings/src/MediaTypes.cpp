#include "ombrix/settings/MediaTypes.h"

#include "ombrix/settings/IniDocument.h"

namespace ombrix {

void MediaTypes::read(const IniDocument& ini) {
    names = ini.sectionNames();
    extensions.clear();
    icons.clear();
    associate.clear();
    for (const QString& n : names) {
        extensions.append(ini.readString(n, QStringLiteral("ext")));
        icons.append(ini.readString(n, QStringLiteral("icon")));
        associate.append(ini.readString(n, QStringLiteral("associate"), QStringLiteral("0")));
    }
    flat = flatten(extensions);
}

void MediaTypes::write(IniDocument& ini) const {
    if (!consistent()) return;
    for (qsizetype i = 0; i < names.size(); ++i) {
        ini.writeString(names[i], QStringLiteral("ext"), extensions[i]);
        ini.writeString(names[i], QStringLiteral("icon"), icons[i]);
        ini.writeString(names[i], QStringLiteral("associate"), associate[i]);
    }
}

QStringList MediaTypes::flatten(const QStringList& extensionStrings) {
    QStringList out;
    for (const QString& s : extensionStrings) {
        qsizetype pos = 0;
        for (;;) {
            const qsizetype dot = s.indexOf(QLatin1Char('.'), pos);
            if (dot < 0) break;
            const qsizetype semi = s.indexOf(QLatin1Char(';'), dot);
            if (semi < 0) break;
            out.append(s.mid(dot, semi - dot).toLower());
            pos = semi + 1;
        }
    }
    return out;
}

bool MediaTypes::consistent() const {
    return names.size() == extensions.size() && names.size() == icons.size() &&
           names.size() == associate.size();
}

std::optional<QString> MediaTypes::openDialogFilter() const {
    if (!consistent()) return std::nullopt;
    QString f = QStringLiteral("All supported|");
    for (const QString& e : extensions) f += e + QLatin1Char(';');
    f += QLatin1Char('|');
    for (qsizetype i = 0; i < names.size(); ++i)
        f += names[i] + QStringLiteral(" (") + extensions[i] + QStringLiteral(")|") +
             extensions[i] + QLatin1Char('|');
    return f;
}

}  // namespace ombrix
