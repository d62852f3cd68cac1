#pragma once

namespace ombrix::mp3 {

class Crc16;
class PayloadBits;
struct FrameLayout;

/// Decodes one coded subband of a Layer I or Layer II frame: reads its part of the frame
/// (allocation, scale-factor selection, scale factors, samples) and writes its requantized
/// samples into the synthesizer inputs. The frame decoder calls every subband's step in turn,
/// subband by subband, in the order the bits appear in the frame: all allocations, then (Layer II)
/// all scale-factor selections, the CRC check, all scale factors, then per group all samples and
/// the outputs of that group.
///
/// Objects are re-initialised for every frame by start(); nothing carries over between frames.
/// Thread affinity: the playback thread.
class SubbandDecoder {
public:
    virtual ~SubbandDecoder() = default;
    SubbandDecoder(const SubbandDecoder&) = delete;
    SubbandDecoder& operator=(const SubbandDecoder&) = delete;

    /// Reads the allocation; its bits also go into `crc` when the frame is protected.
    virtual void readAllocation(PayloadBits& bits, const FrameLayout& layout, Crc16* crc) = 0;
    /// Reads the scale factors of every allocated channel.
    virtual void readScaleFactors(PayloadBits& bits) = 0;
    /// Reads the next group of samples; true when it was the frame's last group (the 12th).
    virtual bool readSamples(PayloadBits& bits) = 0;
    /// Writes the next requantized sample(s) to this subband's place in the inputs: `routing` 0
    /// writes both channels (left to input0, right to input1), 1 only input0. True when the
    /// current group has been written.
    virtual bool output(int routing, float* input0, float* input1) = 0;
    /// Layer II: reads the scale-factor selection of every allocated channel, into `crc` too.
    virtual void readScfsi(PayloadBits& bits, Crc16* crc);

    /// Prepares the object to decode subband `sb` of a new frame.
    void start(int sb) noexcept {
        sb_ = sb;
        group_ = 0;
    }
    int subband() const noexcept { return sb_; }

    static constexpr int kGroups = 12;

protected:
    SubbandDecoder() = default;
    int sb_ = 0;
    int group_ = 0;
};

}  // namespace ombrix::mp3
