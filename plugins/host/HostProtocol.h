#pragma once

// What the player and ombrix-plugin-host share: a block of shared memory (a memfd the player
// creates, inherited as descriptor kSharedFd) and a Unix socket pair of fixed-size messages
// (descriptor kSocketFd), one request answered by one reply. The host trusts nothing the plug-in
// writes into the block, and neither does the player: every text is read bounded, every number
// clamped.

#include <cstddef>
#include <cstdint>

#include "ombrix/plugin.h"

namespace ombrix::pluginhost {

inline constexpr int kSharedFd = 3;
inline constexpr int kSocketFd = 4;
inline constexpr uint32_t kMagic = 0x4f504831;  // "OPH1": bumped with any change of the layout

enum class Kind : int32_t { Background = 0, FullScreen = 1, Amp = 2 };

enum class Command : int32_t {
    Load = 1,      ///< path, program folder, kind in the block; bg/full: _Open; amp: modules
    Update,        ///< title, time, levels (and amp data) in the block; one frame
    SelectModule,  ///< amp: argument = module index
    Config,        ///< load, run the settings in a process of its own, reply before they end
    Description,   ///< load, copy _Description into the block
    Close,         ///< _Close / Quit, unload, exit
};

enum class Status : int32_t {
    Ok = 0,
    InvalidPlugin,  ///< not loadable, an export missing, a module that cannot be read
    InvalidFormat,  ///< amp library without winampVisGetHeader
    Absent,         ///< no _Description / _Config / module config
    Ended,          ///< amp module asked to end, or its Init failed
};

struct Request {
    Command command;
    int32_t argument;
    uint32_t serial;
};

struct Reply {
    uint32_t serial;
    Status status;
    int32_t value;  ///< Load of an amp library: module count
};

inline constexpr int kMaxPath = 4096;
inline constexpr int kMaxTitle = 512;
inline constexpr int kMaxDescription = 4096;
inline constexpr int kMaxModules = 32;
inline constexpr int kMaxModuleName = 256;
inline constexpr int kVisSamples = 576;
inline constexpr int kFrameWidth = 320;  // the largest frame: full screen
inline constexpr int kFrameHeight = 240;
inline constexpr int kCanvasWidth = 320;
inline constexpr int kCanvasHeight = 240;

struct SharedBlock {
    uint32_t magic;
    Kind kind;
    int32_t width;  ///< of the frame (bg 220 x 80, full 320 x 240)
    int32_t height;
    char path[kMaxPath];
    char programFolder[kMaxPath];
    char title[kMaxTitle];
    int32_t timeMs;
    int32_t haveWaveform;
    int32_t haveSpectrum;
    uint8_t waveform[2][kVisSamples];
    uint8_t spectrum[2][kVisSamples];
    char description[kMaxDescription];
    char modules[kMaxModules][kMaxModuleName];
    /// The plug-in's record: its pointers are the host's own; the player reads the palette and
    /// its flag and writes the levels.
    OmbrixPluginRecord record;
    uint8_t frame[kFrameWidth * kFrameHeight];
    uint32_t canvas[kCanvasWidth * kCanvasHeight];
};

/// Copies @p text into @p out of @p size bytes, always zero-terminated.
inline void copyText(char* out, std::size_t size, const char* text, std::size_t length) {
    if (size == 0) return;
    const std::size_t n = length < size - 1 ? length : size - 1;
    for (std::size_t i = 0; i < n; ++i) out[i] = text[i];
    out[n] = '\0';
}

/// The length of the zero-terminated text in @p text, at most @p size - 1 (a block written by
/// the other side may lack the terminator).
inline std::size_t boundedLength(const char* text, std::size_t size) {
    std::size_t n = 0;
    while (n + 1 < size && text[n] != '\0') ++n;
    return n;
}

}  // namespace ombrix::pluginhost
