#pragma once

#include <array>

namespace ombrix {

/// The panel's elements in their fixed order; the index decides the mouse dispatch and which
/// of two overlapping elements wins (the lower one).
enum PanelElement : int {
    kOpen = 0,
    kPlay,
    kStop,
    kPause,
    kForward,
    kRewind,
    kEdit,
    kDj,
    kExit,
    kHide,
    kVolumeUp,
    kVolumeDown,
    kNext,
    kPrev,
    kPlug,
    kSetup,
    kRepeat,
    kShuffle,
    kIntro,
    kFx,
    kEq,
    kFaderVolume,
    kFaderPan,
    kLcdVolume,
    kLcdTitle,
    kLedVolume,
};

inline constexpr int kPanelElementCount = 26;

/// The key prefix of each element in a description file.
inline constexpr std::array<const char*, kPanelElementCount> kPanelElementNames{
    "open",        "play",     "stop",      "pause",    "forward",    "rewind", "edit",
    "dj",          "exit",     "hide",      "volumeup", "volumedown", "next",   "prev",
    "plug",        "setup",    "repeat",    "shuffle",  "intro",      "fx",     "eq",
    "fadervolume", "faderpan", "lcdvolume", "lcdtitle", "ledvolume"};

}  // namespace ombrix
