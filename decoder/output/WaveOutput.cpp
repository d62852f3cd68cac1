#include "output/WaveOutput.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ombrix::mp3 {

namespace {

inline int16_t saturate(int32_t v) noexcept {
    return static_cast<int16_t>(std::clamp<int32_t>(v, -32768, 32767));
}

}  // namespace

void convertBlock(const int32_t* in, int16_t* out, size_t count, bool packed) noexcept {
    // Signed saturating packing gives exactly the scalar limits, so both forms share it.
    static_cast<void>(packed);
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= count; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(a, b));
    }
#endif
    for (; i < count; ++i) out[i] = saturate(in[i]);
}

void scaleBlock(int16_t* samples, size_t count, int channels, std::array<uint32_t, 2> from,
                std::array<uint32_t, 2> to) noexcept {
    if (channels == 1) {
        from = {std::max(from[0], from[1]), std::max(from[0], from[1])};
        to = {std::max(to[0], to[1]), std::max(to[0], to[1])};
    }
    const size_t stride = channels == 1 ? 1 : 2;
    const size_t frames = count / stride;
    if (frames == 0) return;
    for (size_t ch = 0; ch < stride; ++ch) {
        const int64_t a = from[ch];
        const int64_t b = to[ch];
        if (a == StreamLevel::kUnity && b == StreamLevel::kUnity) continue;
        // The gain in 32.32 fixed point, one step a frame; the last frame is at `to` exactly.
        const int64_t step = ((b - a) << 16) / static_cast<int64_t>(frames);
        int64_t gain = a << 16;
        for (size_t f = 0; f < frames; ++f) {
            gain += step;
            const int64_t g = f + 1 == frames ? b : gain >> 16;
            int16_t& s = samples[f * stride + ch];
            s = static_cast<int16_t>((int64_t{s} * g) / int64_t{StreamLevel::kUnity});
        }
    }
}

WaveOutput::WaveOutput(AudioDevice* device, const PcmFormat& format, int samplesPerFrame,
                       int framesPerBlock, bool packedConversion, BlockProcessor processor,
                       const std::atomic<bool>* abandon, std::atomic<int64_t>* handedOver,
                       const StreamLevel* level)
    : device_(device),
      format_(format),
      samplesPerFrame_(samplesPerFrame),
      framesPerBlock_(blockFrames(device, samplesPerFrame, framesPerBlock)),
      blockSamples_(static_cast<size_t>(format.channels) * static_cast<size_t>(framesPerBlock_) *
                    static_cast<size_t>(samplesPerFrame)),
      packed_(packedConversion),
      processor_(processor),
      abandon_(abandon),
      handedOver_(handedOver),
      level_(device && !device->ownsLevel() ? level : nullptr),
      queueDepth_(device && device->maxBlockFrames() > 0 ? 2 : 3),
      accumulator_(blockSamples_ + static_cast<size_t>(format.channels) *
                                       static_cast<size_t>(std::max(samplesPerFrame, 0)),
                   0),
      keepEnd_(samplesPerFrame) {
    for (Block& block : blocks_) block.samples.assign(blockSamples_, 0);
    // The wait for the oldest block polls a few times per block, so that short blocks do not
    // run dry between polls; never slower than every 100 ms.
    const int blockMs = static_cast<int>(1000LL * framesPerBlock_ * samplesPerFrame / format.rate);
    pollMs_ = std::clamp(queueDepth_ == 2 ? blockMs / 3 : blockMs / 4, 1, 100);
    if (handedOver_) handedOver_->store(0, std::memory_order_relaxed);
    if (level_)
        appliedLevel_ = {level_->left.load(std::memory_order_relaxed),
                         level_->right.load(std::memory_order_relaxed)};
}

int WaveOutput::blockFrames(AudioDevice* device, int samplesPerFrame, int framesPerBlock) noexcept {
    framesPerBlock = std::max(framesPerBlock, 1);
    const int limit = device ? device->maxBlockFrames() : 0;
    if (limit <= 0 || samplesPerFrame <= 0) return framesPerBlock;
    return std::clamp(limit / samplesPerFrame, 1, framesPerBlock);
}

void WaveOutput::resetWritePositions() noexcept {
    for (int ch = 0; ch < 2; ++ch)
        writePos_[static_cast<size_t>(ch)] = static_cast<int32_t>(filled_) + ch;
}

void WaveOutput::keepPart(int first, int end) noexcept {
    keepFirst_ = std::clamp(first, 0, samplesPerFrame_);
    keepEnd_ = std::clamp(end, keepFirst_, samplesPerFrame_);
}

void WaveOutput::setGain(float gain) noexcept {
    const float held = std::isfinite(gain) ? std::clamp(gain, 0.0f, kMaxSongGain) : 1.0f;
    gainQ16_ = static_cast<int32_t>(std::lround(held * 65536.0f));
}

void WaveOutput::flush() {
    ++framesFlushed_;
    const size_t channels = static_cast<size_t>(format_.channels);
    const size_t first = static_cast<size_t>(keepFirst_) * channels;
    const size_t kept = static_cast<size_t>(keepEnd_ - keepFirst_) * channels;
    keepFirst_ = 0;
    keepEnd_ = samplesPerFrame_;
    int32_t* frame = accumulator_.data() + filled_;
    if (first > 0 && kept > 0) std::memmove(frame, frame + first, kept * sizeof(int32_t));
    if (gainQ16_ != 0x10000) {
        for (size_t i = 0; i < kept; ++i) {
            const int64_t v = (int64_t{frame[i]} * gainQ16_) >> 16;
            frame[i] = static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
        }
    }
    filled_ += kept;
    if (filled_ >= blockSamples_) {
        finishBlock(blockSamples_);
        // What the frame held beyond the block starts the next one.
        const size_t rest = filled_ - blockSamples_;
        std::memmove(accumulator_.data(), accumulator_.data() + blockSamples_,
                     rest * sizeof(int32_t));
        filled_ = rest;
    }
    resetWritePositions();
}

void WaveOutput::flushSilence() {
    const size_t frameSamples =
        static_cast<size_t>(samplesPerFrame_) * static_cast<size_t>(format_.channels);
    std::fill_n(accumulator_.begin() + static_cast<std::ptrdiff_t>(filled_), frameSamples, 0);
    flush();
}

void WaveOutput::finishBlock(size_t validSamples) {
    Block& block = blocks_[ring_[3]];
    convertBlock(accumulator_.data(), block.samples.data(), blockSamples_, packed_);
    std::fill(block.samples.begin() + static_cast<std::ptrdiff_t>(validSamples),
              block.samples.end(), int16_t{0});
    // The effects engine sees what is played, so that a recording holds the song's samples
    // and no more.
    if (processor_)
        processor_(block.samples.data(), static_cast<int32_t>(validSamples), format_.channels);
    if (!device_) return;
    if (level_) applyLevel(block.samples.data(), validSamples);

    block.id = nextId_++;
    device_->write(block.id, block.samples.data(), validSamples);
    if (handedOver_)
        handedOver_->fetch_add(static_cast<int64_t>(validSamples) / format_.channels,
                               std::memory_order_relaxed);
    block.handedOver = true;
    std::rotate(ring_.rbegin(), ring_.rbegin() + 1, ring_.rend());  // written block moves first
    const bool ringFull = blocksWritten_ >= queueDepth_;
    ++blocksWritten_;
    if (ringFull) {
        // ring_[0] is the block just written, ring_[k] the one written k blocks before: waiting
        // for ring_[depth] leaves `depth` blocks queued while ring_[3] is filled (with a depth
        // of two, ring_[3] was waited for one block earlier).
        Block& oldest = blocks_[ring_[static_cast<size_t>(queueDepth_)]];
        if (oldest.handedOver) waitUntilPlayed(oldest, pollMs_);
        Block& next = blocks_[ring_[3]];
        if (next.handedOver) waitUntilPlayed(next, pollMs_);
    }
}

void WaveOutput::applyLevel(int16_t* samples, size_t count) noexcept {
    const std::array<uint32_t, 2> target{level_->left.load(std::memory_order_relaxed),
                                         level_->right.load(std::memory_order_relaxed)};
    scaleBlock(samples, count, format_.channels, appliedLevel_, target);
    appliedLevel_ = target;
}

void WaveOutput::waitUntilPlayed(Block& block, int sleepMs) {
    device_->waitUntilPlayed(block.id, abandon_, sleepMs);
    if (abandon_ && abandon_->load(std::memory_order_relaxed)) return;
    block.handedOver = false;
}

void WaveOutput::reset() {
    // Nothing of the new segment is handed over yet. Cleared before the device drops its queue,
    // so that a reader on another thread never sets the old segment's audio against the new
    // segment's start.
    if (handedOver_) handedOver_->store(0, std::memory_order_relaxed);
    if (device_) {
        device_->reset();
        for (Block& block : blocks_) {
            block.handedOver = false;
            std::fill(block.samples.begin(), block.samples.end(), int16_t{0});
        }
    }
    filled_ = 0;
    keepFirst_ = 0;
    keepEnd_ = samplesPerFrame_;
    resetWritePositions();
    blocksWritten_ = 0;
}

int64_t WaveOutput::rewind(int64_t marginFrames) {
    if (!device_ || !handedOver_) return -1;
    const int64_t dropped = device_->dropUnplayed(marginFrames);
    if (dropped < 0) return -1;
    const int64_t kept =
        std::max<int64_t>(0, handedOver_->load(std::memory_order_relaxed) - dropped);
    handedOver_->store(kept, std::memory_order_relaxed);
    // What the device kept is in the server's hands: no block waits to be played.
    for (Block& block : blocks_) block.handedOver = false;
    filled_ = 0;
    keepFirst_ = 0;
    keepEnd_ = samplesPerFrame_;
    resetWritePositions();
    blocksWritten_ = 0;
    return kept;
}

void WaveOutput::close() {
    if (closed_) return;
    closed_ = true;
    if (stopped_) {
        if (device_) device_->reset();
    } else if (filled_ > 0) {
        // The last, partial block: only its kept samples are handed over, the rest is silence.
        const size_t valid = filled_;
        std::fill(accumulator_.begin() + static_cast<std::ptrdiff_t>(valid), accumulator_.end(), 0);
        finishBlock(valid);
    }
    if (!device_) return;
    for (auto it = ring_.rbegin(); it != ring_.rend(); ++it) {
        Block& block = blocks_[*it];
        if (block.handedOver && !stopped_) waitUntilPlayed(block, 20);
        block.handedOver = false;
    }
    // The queue is empty now, but its last piece may still sit in the hardware's buffer; a
    // stop cuts it off instead.
    if (!stopped_) device_->drain(abandon_);
    device_->close();
}

}  // namespace ombrix::mp3
