#include "ombrix/windows/common/PlaylistSaveDialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include "ombrix/library/PlaylistFile.h"
#include "ombrix/windows/common/DialogFilter.h"

namespace ombrix {

QString PlaylistSaveDialog::ask(QWidget* parent) {
    QString file = QFileDialog::getSaveFileName(parent, QStringLiteral("Save playlist as"),
                                                QString(), dialogFilter(PlaylistFile::kFilter));
    if (!file.isEmpty() && QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".dmp");
    return file;
}

}  // namespace ombrix
