#include "core/SongSource.h"

#include <algorithm>
#include <climits>

namespace ombrix::mp3 {

std::unique_ptr<SongSource> SongSource::open(const std::string& fileName, int32_t startOffset) {
    std::unique_ptr<SongSource> song(new SongSource());
    song->reader_ = std::make_unique<FrameReader>(fileName, startOffset);
    FrameReader& reader = *song->reader_;
    if (!reader.readFrame(song->header_, song->crc_)) return nullptr;
    // The Xing (or Info) frame describes the stream and holds no audio.
    if (reader.hasXing() && !reader.readFrame(song->header_, song->crc_)) return nullptr;
    const FrameHeader& header = song->header_;
    song->layer_ = header.layer;
    song->samplesPerFrame_ = header.samplesPerFrame();
    song->format_ = PcmFormat{header.channels(), header.samplingRate()};
    song->msPerFrame_ = reader.msPerFrame(header);
    song->span_ = reader.songSpan(header);
    song->totalFrames_ = reader.frameCountEstimate(header);
    song->keepFrom_ = song->span_.first;
    return song;
}

int64_t SongSource::frameStart() const noexcept {
    return int64_t{reader_->audioFrameIndex()} * samplesPerFrame_ - span_.first;
}

SongSource::Part SongSource::keptPart() const noexcept {
    const int64_t at = int64_t{reader_->audioFrameIndex()} * samplesPerFrame_;
    const auto within = [&](int64_t sample) {
        return static_cast<int>(std::clamp<int64_t>(sample - at, 0, samplesPerFrame_));
    };
    return {within(keepFrom_), within(span_.end)};
}

bool SongSource::pastEnd() const noexcept {
    return int64_t{reader_->audioFrameIndex()} * samplesPerFrame_ >= span_.end;
}

bool SongSource::seek(int32_t frame) {
    return seekToSample(std::max<int64_t>(frame, 0) * samplesPerFrame_);
}

bool SongSource::seekToSample(int64_t sample) {
    const int64_t spf = samplesPerFrame_;
    keepFrom_ = span_.first + std::max<int64_t>(sample, 0);
    int64_t from = keepFrom_ / spf;
    if (layer_ == 3) from = std::max<int64_t>(0, from - kLayer3SeekPreroll);
    const int32_t audioFrame = static_cast<int32_t>(std::min<int64_t>(from, INT32_MAX - 1));
    FrameReader& reader = *reader_;
    const int32_t xingFrame = reader.hasXing() ? 1 : 0;
    // A song whose samples are counted exactly is positioned exactly; others go by the table of
    // contents where they have one, which is quicker on long files but lands near the target.
    if (span_.trimmed())
        return reader.seekToFrameExactly(header_, audioFrame + xingFrame) && refreshCrc();
    if (reader.hasSeekTable()) {
        const double percent = static_cast<double>(audioFrame) / reader.xing().frames * 100.0;
        return reader.seekToPercent(header_, static_cast<float>(percent)) && refreshCrc();
    }
    return reader.seekToFrame(header_, audioFrame + xingFrame) && refreshCrc();
}

bool SongSource::refreshCrc() noexcept {
    crc_ = header_.protectionAbsent == 0 && header_.crcRegister ? &*header_.crcRegister : nullptr;
    return true;
}

}  // namespace ombrix::mp3
