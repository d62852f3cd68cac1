#include "ombrix/library/LoudnessScan.h"

#include <ebur128.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

#include "mp3.h"
#include "ombrix/media/MediaIdentifier.h"
#include "ombrix/probe/RegularFile.h"

namespace ombrix {
namespace {

struct StateDeleter {
    void operator()(ebur128_state* st) const { ebur128_destroy(&st); }
};

// What the decoder's sink feeds: the meter, made when the first block tells the format.
struct Meter {
    std::unique_ptr<ebur128_state, StateDeleter> state;
    int channels = 0;
    int rate = 0;
    bool broken = false;  // the meter failed or the format changed within the song
    const std::atomic<bool>* stop = nullptr;
    bool stopped = false;
};

int32_t feed(void* context, int32_t channels, int32_t rate, const int16_t* samples,
             int32_t count) {
    auto& m = *static_cast<Meter*>(context);
    if (m.stop && m.stop->load(std::memory_order_relaxed)) {
        m.stopped = true;
        return 0;
    }
    if (!m.state) {
        if (channels < 1 || channels > 2 || rate <= 0) {
            m.broken = true;
            return 0;
        }
        m.state.reset(ebur128_init(unsigned(channels), static_cast<unsigned long>(rate),
                                   EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK));
        m.channels = channels;
        m.rate = rate;
        if (!m.state) {
            m.broken = true;
            return 0;
        }
    }
    if (channels != m.channels || rate != m.rate) {
        m.broken = true;
        return 0;
    }
    const size_t frames = size_t(count) / size_t(channels);
    if (frames > 0 && ebur128_add_frames_short(m.state.get(), samples, frames) != EBUR128_SUCCESS) {
        m.broken = true;
        return 0;
    }
    return 1;
}

}  // namespace

LoudnessScan::Result LoudnessScan::scan(const QString& file,
                                        const std::atomic<bool>* stop) noexcept {
    Result result;
    try {
        const QByteArray name = QFile::encodeName(file);
        // A FIFO or device would block the decoder or never end.
        if (!probe::RegularFile::is(std::filesystem::path(name.toStdString()))) return result;
        const qint64 offset = MediaIdentifier::startOffset(file);
        if (offset < 0 || offset > INT32_MAX) return result;
        Meter meter;
        meter.stop = stop;
        const int32_t decoded =
            OmbrixDecodePcm(name.constData(), int32_t(offset), &feed, &meter);
        if (meter.stopped) {
            result.status = Result::Status::Stopped;
            return result;
        }
        if (decoded != 1 || meter.broken || !meter.state) return result;
        double loudness = 0.0;
        if (ebur128_loudness_global(meter.state.get(), &loudness) != EBUR128_SUCCESS ||
            !std::isfinite(loudness))
            return result;  // silence (below the absolute gate) has no loudness
        double peak = 0.0;
        for (int ch = 0; ch < meter.channels; ++ch) {
            double p = 0.0;
            if (ebur128_sample_peak(meter.state.get(), unsigned(ch), &p) == EBUR128_SUCCESS)
                peak = std::max(peak, p);
        }
        result.status = Result::Status::Measured;
        result.loudness = loudness;
        result.gainDb = kReferenceLufs - loudness;
        result.peak = peak;
    } catch (...) {
        result = Result();
    }
    return result;
}

}  // namespace ombrix
