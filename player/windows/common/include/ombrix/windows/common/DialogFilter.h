#pragma once

#include <QString>

namespace ombrix {

/// "desc|*.a;*.b|desc|*.c" (the settings' and the player's filter form) as Qt's file dialogs
/// want it: "desc (*.a *.b);;desc (*.c)". Pure function.
QString dialogFilter(const QString& pairs);

}  // namespace ombrix
