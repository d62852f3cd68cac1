#include "ombrix/control/OutputLevel.h"

#include <algorithm>
#include <cmath>

#include "ombrix/control/AudioMixer.h"
#include "ombrix/control/MixerRules.h"

namespace ombrix {

int OutputLevel::roundedPan(int pan) noexcept {
    pan = std::clamp(pan, kFullLeft, kFullRight);
    const int rounded = pan >= 0 ? (pan + 15) / 32 * 32 : -((-pan + 15) / 32 * 32);
    return std::clamp(rounded, kFullLeft, kFullRight);
}

int OutputLevel::streamLevel(int channelLevel) noexcept {
    constexpr double kFull = 127 * 512;
    const double f = std::clamp(channelLevel / kFull, 0.0, 1.0);
    return static_cast<int>(std::lround(f * f * f * 65536.0));
}

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
