#include "ombrix/desktop/SoundDevices.h"

#include <QLibrary>
#include <cstdint>

namespace ombrix {
namespace {

constexpr uint32_t kSdlInitAudio = 0x10;

}  // namespace

QStringList SoundDevices::playbackDevices() {
    QLibrary sdl(QStringLiteral("SDL2-2.0"), 0);
    if (!sdl.load()) return {};
    using Init = int (*)(uint32_t);
    using Quit = void (*)(uint32_t);
    using Count = int (*)(int);
    using Name = const char* (*)(int, int);
    using Hint = int (*)(const char*, const char*);
    const auto init = reinterpret_cast<Init>(sdl.resolve("SDL_InitSubSystem"));
    const auto quit = reinterpret_cast<Quit>(sdl.resolve("SDL_QuitSubSystem"));
    const auto count = reinterpret_cast<Count>(sdl.resolve("SDL_GetNumAudioDevices"));
    const auto name = reinterpret_cast<Name>(sdl.resolve("SDL_GetAudioDeviceName"));
    const auto hint = reinterpret_cast<Hint>(sdl.resolve("SDL_SetHint"));
    if (!init || !quit || !count || !name || !hint) return {};
    // SDL would otherwise take SIGINT and SIGTERM for an event queue nobody reads.
    hint("SDL_NO_SIGNAL_HANDLERS", "1");
    if (init(kSdlInitAudio) != 0) return {};
    QStringList out;
    const int n = count(0);
    for (int i = 0; i < n; ++i) {
        const char* device = name(i, 0);
        out << (device ? QString::fromUtf8(device) : QStringLiteral("device %1").arg(i));
    }
    // Subsystems are counted: the decoder's own use of SDL goes on undisturbed.
    quit(kSdlInitAudio);
    return out;
}

}  // namespace ombrix
