#pragma once

#include <QString>

namespace ombrix::art {

/// Draws the default panel ("panel/default.bmp", ".alt.bmp", ".btn", the coolbar) and the
/// screen resources ("resource/bg.bmp", "resource/bumpl.raw") below @p dataDir.
/// @return false (with a message on standard error) when a file cannot be written.
bool writeDefaultSkin(const QString& dataDir);

}  // namespace ombrix::art
