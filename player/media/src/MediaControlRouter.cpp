#include "ombrix/media/MediaControlRouter.h"

namespace ombrix {

MediaControlRouter::MediaControlRouter(std::unique_ptr<MediaControl> first,
                                       std::unique_ptr<MediaControl> second)
    : first_(std::move(first)), second_(std::move(second)), current_(first_.get()) {}

MediaControlRouter::~MediaControlRouter() = default;

bool MediaControlRouter::canPlay(const QString& file) const {
    return first_->canPlay(file) || (second_ && second_->canPlay(file));
}

void MediaControlRouter::open(const QString& file, const Options& options) {
    MediaControl* next = first_->canPlay(file) || !second_ ? first_.get() : second_.get();
    // Only one backend holds a song at a time.
    if (next != current_) current_->close();
    current_ = next;
    current_->open(file, options);
}

}  // namespace ombrix
