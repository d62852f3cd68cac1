#include "ombrix/app/OpenDialogFolder.h"

#include <QFileInfo>

namespace ombrix {

QString OpenDialogFolder::choose(const QString& wanted, const QString& music, const QString& home) {
    for (const QString& folder : {wanted, music})
        if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
    return home;
}

}  // namespace ombrix
