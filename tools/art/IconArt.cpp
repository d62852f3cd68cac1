#include "IconArt.h"

namespace ombrix::art {

bool writeIcons(const QString&) {
    return true;  // the icons are not drawn yet
}

}  // namespace ombrix::art
