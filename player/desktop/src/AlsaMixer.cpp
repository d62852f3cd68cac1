#include "ombrix/desktop/AlsaMixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace ombrix {
namespace {

// ALSA prints its own errors to stderr; the player only cares whether a control works.
void quietError(const char*, int, const char*, int, const char*, ...) {}

struct MixerHandle {
    snd_mixer_t* mixer = nullptr;
    MixerHandle() = default;
    MixerHandle(const MixerHandle&) = delete;
    MixerHandle& operator=(const MixerHandle&) = delete;
    ~MixerHandle() { reset(); }
    void reset() {
        if (mixer) snd_mixer_close(mixer);
        mixer = nullptr;
    }
};

bool openCard(int card, MixerHandle& handle) {
    const std::string name = "hw:" + std::to_string(card);
    if (snd_mixer_open(&handle.mixer, 0) < 0) return false;
    if (snd_mixer_attach(handle.mixer, name.c_str()) < 0 ||
        snd_mixer_selem_register(handle.mixer, nullptr, nullptr) < 0 ||
        snd_mixer_load(handle.mixer) < 0) {
        snd_mixer_close(handle.mixer);
        handle.mixer = nullptr;
        return false;
    }
    return true;
}

// The card's playback volume controls, "Master" first.
std::vector<snd_mixer_elem_t*> volumeControls(snd_mixer_t* mixer) {
    std::vector<snd_mixer_elem_t*> out;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e; e = snd_mixer_elem_next(e))
        if (snd_mixer_selem_is_active(e) && snd_mixer_selem_has_playback_volume(e))
            out.push_back(e);
    std::stable_partition(out.begin(), out.end(), [](snd_mixer_elem_t* e) {
        return std::string(snd_mixer_selem_get_name(e)) == "Master";
    });
    return out;
}

std::vector<int> usableCards() {
    snd_lib_error_set_handler(&quietError);
    std::vector<int> cards;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        MixerHandle h;
        if (openCard(card, h) && !volumeControls(h.mixer).empty()) cards.push_back(card);
    }
    return cards;
}

}  // namespace

struct AlsaMixer::Impl {
    std::vector<int> cards = usableCards();
    MixerHandle handle;
    snd_mixer_elem_t* elem = nullptr;
    long min = 0;
    long max = 0;
};

AlsaMixer::AlsaMixer() : impl_(std::make_unique<Impl>()) {}

AlsaMixer::~AlsaMixer() = default;

int AlsaMixer::deviceCount() const {
    return static_cast<int>(impl_->cards.size());
}

bool AlsaMixer::open(int id, int dest1, int) {
    impl_->elem = nullptr;
    if (id < 0 || id >= deviceCount()) return false;
    impl_->handle.reset();
    MixerHandle fresh;
    if (!openCard(impl_->cards[static_cast<size_t>(id)], fresh)) return false;
    std::swap(impl_->handle.mixer, fresh.mixer);
    const auto controls = volumeControls(impl_->handle.mixer);
    if (controls.empty()) return false;
    const size_t line = dest1 >= 0 && size_t(dest1) < controls.size() ? size_t(dest1) : 0;
    impl_->elem = controls[line];
    if (snd_mixer_selem_get_playback_volume_range(impl_->elem, &impl_->min, &impl_->max) < 0 ||
        impl_->max <= impl_->min) {
        impl_->elem = nullptr;
        return false;
    }
    return true;
}

bool AlsaMixer::isOpen() const {
    return impl_->elem != nullptr;
}

int AlsaMixer::channels() const {
    if (!impl_->elem) return 0;
    return snd_mixer_selem_is_playback_mono(impl_->elem) ? 1 : 2;
}

std::pair<int, int> AlsaMixer::volume() const {
    if (!impl_->elem) return {0, 0};
    snd_mixer_handle_events(impl_->handle.mixer);
    long left = impl_->min, right = impl_->min;
    snd_mixer_selem_get_playback_volume(impl_->elem, SND_MIXER_SCHN_FRONT_LEFT, &left);
    if (snd_mixer_selem_get_playback_volume(impl_->elem, SND_MIXER_SCHN_FRONT_RIGHT, &right) < 0)
        right = left;
    const double span = double(impl_->max - impl_->min);
    auto scale = [&](long v) { return int((v - impl_->min) * 65535.0 / span + 0.5); };
    return {scale(left), scale(right)};
}

void AlsaMixer::setVolume(int left, int right) {
    if (!impl_->elem) return;
    const double span = double(impl_->max - impl_->min);
    auto raw = [&](int v) {
        return impl_->min + long(std::clamp(v, 0, 65535) * span / 65535.0 + 0.5);
    };
    if (channels() == 1) {
        snd_mixer_selem_set_playback_volume_all(impl_->elem, raw(std::max(left, right)));
    } else {
        snd_mixer_selem_set_playback_volume(impl_->elem, SND_MIXER_SCHN_FRONT_LEFT, raw(left));
        snd_mixer_selem_set_playback_volume(impl_->elem, SND_MIXER_SCHN_FRONT_RIGHT, raw(right));
    }
    if (snd_mixer_selem_has_playback_switch(impl_->elem))
        snd_mixer_selem_set_playback_switch_all(impl_->elem, 1);
}

QStringList AlsaMixer::deviceNames() {
    QStringList out;
    for (int card : usableCards()) {
        char* name = nullptr;
        if (snd_card_get_name(card, &name) == 0 && name) {
            out << QString::fromLocal8Bit(name);
            free(name);
        } else {
            out << QStringLiteral("card %1").arg(card);
        }
    }
    return out;
}

QStringList AlsaMixer::lineNames(int id) {
    const std::vector<int> cards = usableCards();
    QStringList out;
    if (id < 0 || size_t(id) >= cards.size()) return out;
    MixerHandle h;
    if (!openCard(cards[size_t(id)], h)) return out;
    for (snd_mixer_elem_t* e : volumeControls(h.mixer))
        out << QString::fromLocal8Bit(snd_mixer_selem_get_name(e));
    return out;
}

}  // namespace ombrix
