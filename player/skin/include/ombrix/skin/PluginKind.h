#pragma once

#include <QString>

namespace ombrix {

/// The three kinds of visual plug-in, each in a folder of its own under the home's "plugin/".
enum class PluginKind { Background, FullScreen, Amp };

/// "bg", "full" or "amp".
QString pluginFolderName(PluginKind kind);

}  // namespace ombrix
