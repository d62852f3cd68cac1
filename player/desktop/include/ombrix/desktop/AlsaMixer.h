#pragma once

#include <QStringList>
#include <memory>

#include "ombrix/control/AudioMixer.h"

namespace ombrix {

/**
 * @brief The ALSA simple mixer. Mixer ids count the cards that have a playback volume control;
 *        a line (dest1) is one of the card's playback volume controls, "Master" first, then the
 *        others in the card's order. ALSA controls have no parts, so dest2 is not used.
 *
 * Thread affinity: main thread.
 */
class AlsaMixer final : public AudioMixer {
public:
    AlsaMixer();
    ~AlsaMixer() override;

    int deviceCount() const override;
    bool open(int id, int dest1, int dest2) override;
    bool isOpen() const override;
    int channels() const override;
    std::pair<int, int> volume() const override;
    void setVolume(int left, int right) override;

    /// The names of the mixers, in id order (the cards with a playback volume control).
    static QStringList deviceNames();
    /// The names of the lines of mixer @p id, in dest1 order ("Master" first).
    static QStringList lineNames(int id);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ombrix
