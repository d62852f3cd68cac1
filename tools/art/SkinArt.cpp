#include "SkinArt.h"

namespace ombrix::art {

bool writeDefaultSkin(const QString&) {
    return true;  // the default skin is not drawn yet
}

}  // namespace ombrix::art
