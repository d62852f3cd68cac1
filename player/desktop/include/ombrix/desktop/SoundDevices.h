#pragma once

#include <QStringList>

namespace ombrix {

/**
 * @brief The playback devices the decoder's SDL output can choose (`waveoutid` N is entry N).
 *        SDL2 is loaded for the question only, as the decoder loads it; without it the list is
 *        empty.
 *
 * Thread affinity: main thread. Never throws.
 */
class SoundDevices {
public:
    static QStringList playbackDevices();
};

}  // namespace ombrix
