#include "ombrix/skin/PanelFont.h"

#include <QFontDatabase>
#include <algorithm>
#include <cmath>

namespace ombrix {
namespace {

// Faces of Windows settings files that a Linux desktop lacks or replaces at random.
bool isWindowsFace(const QString& name) {
    static const char* const kFaces[] = {"Arial", "MS Sans Serif", "Microsoft Sans Serif"};
    const QString n = name.trimmed();
    return n.isEmpty() || std::any_of(std::begin(kFaces), std::end(kFaces), [&](const char* f) {
               return n.compare(QLatin1String(f), Qt::CaseInsensitive) == 0;
           });
}

}  // namespace

QString PanelFont::defaultFamily() {
    static const QString kDejaVu = QStringLiteral("DejaVu Sans");
    if (QFontDatabase::hasFamily(kDejaVu)) return kDejaVu;
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

QString PanelFont::familyFor(const QString& name) {
    return isWindowsFace(name) ? defaultFamily() : name.trimmed();
}

QFont PanelFont::fromSetting(const FontSetting& setting) {
    QFont font(familyFor(setting.name));
    font.setPixelSize(
        std::max(1, int(std::lround(std::clamp(setting.size, 1, 200) * 96.0 / 72.0))));
    font.setBold(setting.style & 1);
    font.setItalic(setting.style & 2);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

}  // namespace ombrix
