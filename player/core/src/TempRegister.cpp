#include "ombrix/TempRegister.h"

#include <QFile>

namespace ombrix {

void TempRegister::add(const QString& name, bool limitToTen) {
    if (!names_.contains(name)) names_.append(name);
    if (limitToTen && names_.size() > kLimit) QFile::remove(names_.takeFirst());
}

void TempRegister::deleteAll() {
    for (const QString& n : names_) QFile::remove(n);
    names_.clear();
}

}  // namespace ombrix
