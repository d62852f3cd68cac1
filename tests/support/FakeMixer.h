#pragma once

#include <algorithm>
#include <vector>

#include "ombrix/control/AudioMixer.h"

namespace ombrix::test {

/// A mixer for tests: as many devices and channels as asked, and a record of every change.
class FakeMixer final : public AudioMixer {
public:
    int devices = 0;
    int lineChannels = 2;
    bool opened = false;
    std::pair<int, int> current{0, 0};
    std::vector<std::pair<int, int>> calls;

    int deviceCount() const override { return devices; }
    bool open(int, int, int) override { return opened = devices > 0; }
    bool isOpen() const override { return opened; }
    int channels() const override { return opened ? lineChannels : 0; }
    std::pair<int, int> volume() const override { return current; }
    void setVolume(int left, int right) override {
        current = {std::clamp(left, 0, 65535), std::clamp(right, 0, 65535)};
        calls.push_back(current);
    }
};

}  // namespace ombrix::test
