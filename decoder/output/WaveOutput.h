#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "output/AudioDevice.h"

namespace ombrix::mp3 {

/// Called with every finished block of interleaved 16-bit samples before it reaches the device
/// (the effects engine's block call). `count` counts the samples of all channels.
using BlockProcessor = void (*)(int16_t* samples, int32_t count, int channels);

/// Accumulates synthesised samples into blocks of `framesPerBlock` frames' worth and streams them
/// to the device through a ring of four blocks: at most three are queued while the fourth is
/// filled, and waiting for the oldest one is the only flow control. A device with a latency target
/// caps the block size and the queue to two blocks, so that what is decoded is heard within the
/// target. Without a device the blocks are still converted and processed, as fast as they are
/// decoded.
///
/// Thread affinity: the playback thread.
class WaveOutput {
public:
    /// `samplesPerFrame` per channel. The device, when given, must already be open. A set
    /// `abandon` flag ends any wait for the device (a stop that arrives while it is paused).
    /// `handedOver`, when given, counts the frames of PCM handed to the device since the start
    /// or the last reset (readers on other threads set it against the device's unheard frames).
    /// `level`, when given, scales what a device without a stream volume of its own is handed
    /// (after the processor, so that levels and recordings do not follow the fader).
    WaveOutput(AudioDevice* device, const PcmFormat& format, int samplesPerFrame,
               int framesPerBlock, bool packedConversion, BlockProcessor processor,
               const std::atomic<bool>* abandon = nullptr,
               std::atomic<int64_t>* handedOver = nullptr, const StreamLevel* level = nullptr);
    WaveOutput(const WaveOutput&) = delete;
    WaveOutput& operator=(const WaveOutput&) = delete;

    int channels() const noexcept { return format_.channels; }
    AudioDevice* device() const noexcept { return device_; }
    const PcmFormat& format() const noexcept { return format_; }
    size_t blockBytes() const noexcept { return blockSamples_ * sizeof(int16_t); }
    int framesPerBlock() const noexcept { return framesPerBlock_; }

    /// The 32-bit accumulator the synthesizers write into, interleaved by channel.
    int32_t* accumulator() noexcept { return accumulator_.data(); }
    size_t accumulatorSize() const noexcept { return accumulator_.size(); }
    /// Next accumulator index of a channel; advanced by the synthesizer of that channel.
    int32_t& writePos(int channel) noexcept { return writePos_[static_cast<size_t>(channel & 1)]; }

    /// Keeps only samples [first, end) of the next frame flushed (per channel, within the
    /// frame); the frames after it are kept whole again. The rest of a frame is dropped, so a
    /// song's encoder delay and padding never reach the device.
    void keepPart(int first, int end) noexcept;
    /// The gain applied to the frames flushed from now on (a song's loudness levelling): a
    /// frame belongs to one song, so a change takes effect exactly where the next song begins.
    void setGain(float gain) noexcept;
    /// Ends a decoded frame; hands a block to the device each time a block's worth of kept
    /// samples has come together.
    void flush();
    /// Ends a frame that decoded to nothing with a frame of silence, so that what follows keeps
    /// its place in time.
    void flushSilence();
    /// Frames of PCM kept and not handed to the device yet (the block being filled).
    int64_t pendingFrames() const noexcept {
        return static_cast<int64_t>(filled_) / format_.channels;
    }
    /// Frames flushed so far (a decoder that had nothing to give flushes none).
    uint64_t framesFlushed() const noexcept { return framesFlushed_; }
    /// Drops queued audio and the partial block (before a seek).
    void reset();
    /// Drops what the device holds beyond `marginFrames` past what it has taken for playing,
    /// and the partial block, so that it can be decoded and processed again: the next block
    /// follows what was kept without a break. Returns the frames handed over that were kept
    /// (the count `handedOver` now holds), or -1 when the device cannot go back on what it was
    /// given (then nothing changes).
    int64_t rewind(int64_t marginFrames);
    /// The playback ends on a stop request: queued audio is cut off at close.
    void markStopped() noexcept { stopped_ = true; }
    /// Plays out (or, after a stop, cuts off) what is queued and releases the device.
    void close();

    int blocksWritten() const noexcept { return blocksWritten_; }

private:
    struct Block {
        std::vector<int16_t> samples;
        uint64_t id = 0;
        bool handedOver = false;
    };

    void finishBlock(size_t validSamples);
    void applyLevel(int16_t* samples, size_t count) noexcept;
    void waitUntilPlayed(Block& block, int sleepMs);
    static int blockFrames(AudioDevice* device, int samplesPerFrame, int framesPerBlock) noexcept;
    void resetWritePositions() noexcept;

    AudioDevice* device_;
    PcmFormat format_;
    int samplesPerFrame_;
    int framesPerBlock_;
    size_t blockSamples_;
    bool packed_;
    BlockProcessor processor_;
    const std::atomic<bool>* abandon_;
    std::atomic<int64_t>* handedOver_;
    const StreamLevel* level_;
    std::array<uint32_t, 2> appliedLevel_{StreamLevel::kUnity, StreamLevel::kUnity};
    int queueDepth_;  // blocks kept queued on the device
    std::array<Block, 4> blocks_;
    std::array<size_t, 4> ring_{0, 1, 2, 3};  // indices into blocks_; the last one is filled next
    // A block plus one frame: a frame is synthesised after the kept samples of the frames before
    // it, wherever they end.
    std::vector<int32_t> accumulator_;
    std::array<int32_t, 2> writePos_{0, 1};
    size_t filled_ = 0;          // kept samples (all channels) at the front of the accumulator
    int32_t gainQ16_ = 0x10000;  // 16.16
    int keepFirst_ = 0;
    int keepEnd_ = 0;
    uint64_t framesFlushed_ = 0;
    int blocksWritten_ = 0;
    uint64_t nextId_ = 1;
    int pollMs_;
    bool stopped_ = false;
    bool closed_ = false;
};

/// The largest song gain: +12 dB.
constexpr float kMaxSongGain = 4.0f;

/// Scales interleaved samples of `channels` (1 or 2) from the levels `from` to `to` (16.16) in a
/// straight ramp over the block, so that a change of level does not click. A mono stream takes
/// the louder side.
void scaleBlock(int16_t* samples, size_t count, int channels, std::array<uint32_t, 2> from,
                std::array<uint32_t, 2> to) noexcept;

/// 32-bit to 16-bit with saturation. `packed` selects the eight-at-a-time form, which gives the
/// same result.
void convertBlock(const int32_t* in, int16_t* out, size_t count, bool packed) noexcept;

}  // namespace ombrix::mp3
