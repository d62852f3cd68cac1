#pragma once

#include <QString>

namespace ombrix {

/// What changed since the last change signal; readers pick the parts they show.
enum ChangeMask : int {
    kChangeSong = 1 << 0,          ///< a song opened or closed, playing/paused changed
    kChangePosition = 1 << 1,      ///< elapsed time or position
    kChangeVolume = 1 << 2,        ///< volume or pan
    kChangePlaylist = 1 << 3,      ///< entries added, removed or moved; current index
    kChangeOptions = 1 << 4,       ///< random, intro, repeat, auto repeat, resume
    kChangeText = 1 << 5,          ///< line1..line3 or the status text
    kChangeEntriesAdded = 1 << 6,  ///< entries were added to the playlist (files, drops, start)
    kChangeTicks = 1 << 7,         ///< the timers the controller needs may have changed
};

/**
 * @brief A copy of the playback state, as the panel, the playlist window, the remote control
 *        and the desktop integration read it.
 *
 * Thread affinity: a value type.
 */
struct PlayerState {
    int currentIndex = 0;
    int count = 0;
    bool songOpen = false;
    bool playing = false;
    bool paused = false;
    bool sleeping = false;  ///< waiting out the pause between songs
    bool canPlay = false;
    bool canSkip = false;
    bool recording = false;
    QString line1;
    QString line2;
    QString line3;
    QString statusText;  ///< empty when no status is shown
    QString currentFile;
    quint64 playback = 0;  ///< counts the songs opened in this run; a new value is a new song
    /// The open song's tag texts (ID3v1, INFO, ID3v2 or APE); title falls back to the file name.
    QString title;
    QString artist;
    QString album;
    QString currentEntry;
    int elapsedMs = -1;
    int position = 0;
    int positionScale = 1024;
    int lengthMs = 0;
    int volume = 100;  ///< 0..127
    int pan = 0;
    bool random = false;
    bool intro = false;
    bool autoRepeat = true;
    bool repeatThisSong = false;
    bool resume = false;
    bool effects = false;    ///< "Enable FX"
    bool equalizer = false;  ///< "Enable EQ"
};

}  // namespace ombrix
