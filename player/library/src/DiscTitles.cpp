#include "ombrix/library/DiscTitles.h"

#include <QFileInfo>

namespace ombrix {

int DiscTitles::trackNumber(const QString& entry) {
    QString name = entry;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString base = QFileInfo(name).completeBaseName();
    bool ok = false;
    const int n = base.mid(5).toInt(&ok);
    return ok ? n : 0;
}

}  // namespace ombrix
