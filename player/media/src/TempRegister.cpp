#include "ombrix/media/TempRegister.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ombrix {

namespace {

// Extracts sit in a folder of their own; it goes with its last file.
void removeWithFolder(const QString& name) {
    QFile::remove(name);
    QDir().rmdir(QFileInfo(name).path());
}

}  // namespace

void TempRegister::add(const QString& name, bool limitToTen) {
    if (!names_.contains(name)) names_.append(name);
    if (limitToTen && names_.size() > kLimit) removeWithFolder(names_.takeFirst());
}

void TempRegister::deleteAll() {
    for (const QString& n : names_) removeWithFolder(n);
    names_.clear();
}

}  // namespace ombrix
