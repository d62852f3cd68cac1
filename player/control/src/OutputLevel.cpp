#include "ombrix/control/OutputLevel.h"

#include <algorithm>

#include "ombrix/control/AudioMixer.h"
#include "ombrix/control/MixerRules.h"

namespace ombrix {

std::pair<int, int> OutputLevel::channels(int volume, int pan) noexcept {
    const int base = std::clamp(volume, 0, 127) * 512;
    pan = std::clamp(pan, -128, 128);
    if (pan < 0) return {base, ((pan + 128) * base) >> 7};
    return {((128 - pan) * base) >> 7, base};
}

int OutputLevel::volumeFromMixer(int left, int right) noexcept {
    return std::clamp(std::max(left, right) / 512, 0, 127);
}

void OutputLevel::apply(AudioMixer& mixer, int volume, int pan) {
    const int p = MixerRules::balance(roundedPan(pan), mixer.channels());
    const auto [left, right] = channels(volume, p);
    mixer.setVolume(left, right);
}

}  // namespace ombrix
