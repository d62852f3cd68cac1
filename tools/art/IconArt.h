#pragma once

#include <QString>

namespace ombrix::art {

/// Draws the program's icon into @p iconDir as a hicolor theme tree (scalable SVG and PNG
/// sizes, "hicolor/<size>/apps/ombrix.png").
/// @return false (with a message on standard error) when a file cannot be written.
bool writeIcons(const QString& iconDir);

}  // namespace ombrix::art
