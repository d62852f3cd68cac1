#pragma once

#include "core/FrameHeader.h"
#include "layer12/Layer12Tables.h"
#include "layer12/PayloadBits.h"

namespace ombrix::mp3 {

/// The coded state of one channel of a Layer I subband: allocation, scale factor and the
/// requantization of its samples. Thread affinity: the playback thread.
class Layer1Channel {
public:
    /// Reads the 4-bit allocation (also into `crc`).
    void readAllocation(PayloadBits& bits, Crc16* crc) noexcept {
        setAllocation(static_cast<int>(bits.get(4)));
        if (crc) crc->feed(static_cast<uint32_t>(allocation_), 4);
    }
    /// Shares the allocation read by another channel (joint stereo above the bound).
    void shareAllocation(const Layer1Channel& other) noexcept { setAllocation(other.allocation_); }
    bool allocated() const noexcept { return allocation_ != 0; }

    /// Reads the 6-bit scale factor of an allocated channel and folds it into the factors.
    void readScaleFactor(PayloadBits& bits) noexcept {
        if (!allocated()) return;
        scale_ = Layer12Tables::instance().scaleFactor[bits.get(6)];
        scaledFactor_ = factor_ * scale_;
        scaledOffset_ = offset_ * scale_;
    }

    /// Reads one sample and returns it requantized and scaled (0 when not allocated).
    float readSample(PayloadBits& bits) noexcept {
        if (!allocated()) return 0.0f;
        return static_cast<float>(bits.get(allocation_ + 1)) * scaledFactor_ + scaledOffset_;
    }
    /// Reads one sample and returns it requantized without the scale factor.
    float readUnscaledSample(PayloadBits& bits) noexcept {
        if (!allocated()) return 0.0f;
        return static_cast<float>(bits.get(allocation_ + 1)) * factor_ + offset_;
    }
    float scale() const noexcept { return allocated() ? scale_ : 0.0f; }

private:
    void setAllocation(int allocation) noexcept {
        const Layer12Tables& t = Layer12Tables::instance();
        allocation_ = allocation;
        factor_ = t.layer1Factor[static_cast<size_t>(allocation)];
        offset_ = t.layer1Offset[static_cast<size_t>(allocation)];
        scaledFactor_ = 0.0f;
        scaledOffset_ = 0.0f;
    }

    int allocation_ = 0;
    float scale_ = 0.0f;
    float factor_ = 0.0f;        // a_n
    float offset_ = 0.0f;        // b_n
    float scaledFactor_ = 0.0f;  // a_n x scale factor
    float scaledOffset_ = 0.0f;  // b_n x scale factor
};

}  // namespace ombrix::mp3
