#pragma once

#include <array>

#include "core/FrameHeader.h"
#include "layer12/Layer12Tables.h"
#include "layer12/PayloadBits.h"

namespace ombrix::mp3 {

/// The coded state of one channel of a Layer II subband: quantization class, scale-factor
/// selection, the three scale factors and the requantization of a group of three samples.
/// Thread affinity: the playback thread.
class Layer2Channel {
public:
    /// Reads the allocation of subband `sb` from `table` (also into `crc`).
    void readAllocation(PayloadBits& bits, const AllocationTable& table, int sb,
                        Crc16* crc) noexcept {
        const auto s = static_cast<size_t>(sb);
        const int nbal = table.nbal[s];
        const uint32_t index = bits.get(nbal);
        if (crc) crc->feed(index, nbal);
        const uint8_t c = table.classOf[s][index & 15];
        quant_ = c ? &Layer12Tables::instance().classes[c] : nullptr;
        scfsi_ = 0;
    }
    /// Shares the allocation read by another channel (joint stereo above the bound).
    void shareAllocation(const Layer2Channel& other) noexcept {
        quant_ = other.quant_;
        scfsi_ = 0;
    }
    bool allocated() const noexcept { return quant_ != nullptr; }

    /// Reads the 2-bit scale-factor selection of an allocated channel (also into `crc`).
    void readScfsi(PayloadBits& bits, Crc16* crc) noexcept {
        if (!allocated()) return;
        scfsi_ = static_cast<int>(bits.get(2));
        if (crc) crc->feed(static_cast<uint32_t>(scfsi_), 2);
    }

    /// Reads the scale factors of an allocated channel as its selection says.
    void readScaleFactors(PayloadBits& bits) noexcept {
        if (!allocated()) {
            scale_ = {0.0f, 0.0f, 0.0f};
            return;
        }
        const auto& sf = Layer12Tables::instance().scaleFactor;
        switch (scfsi_) {
            case 0:
                scale_[0] = sf[bits.get(6)];
                scale_[1] = sf[bits.get(6)];
                scale_[2] = sf[bits.get(6)];
                break;
            case 1:
                scale_[0] = scale_[1] = sf[bits.get(6)];
                scale_[2] = sf[bits.get(6)];
                break;
            case 2:
                scale_[0] = scale_[1] = scale_[2] = sf[bits.get(6)];
                break;
            default:
                scale_[0] = sf[bits.get(6)];
                scale_[1] = scale_[2] = sf[bits.get(6)];
                break;
        }
    }

    /// Reads one group of three samples, requantized without the scale factor (0 when not
    /// allocated).
    void readGroup(PayloadBits& bits, std::array<float, 3>& out) const noexcept {
        if (!quant_) {
            out = {0.0f, 0.0f, 0.0f};
            return;
        }
        const QuantClass& q = *quant_;
        if (q.grouped) {
            const float* triple = q.triples + 3 * bits.get(q.bits);
            out = {triple[0], triple[1], triple[2]};
            return;
        }
        for (float& v : out) v = static_cast<float>(bits.get(q.bits)) * q.mul + q.add;
    }

    /// The scale factor of part 0..2 of the frame (groups 1-4, 5-8, 9-12).
    float scale(int part) const noexcept { return scale_[static_cast<size_t>(part)]; }

private:
    const QuantClass* quant_ = nullptr;
    int scfsi_ = 0;
    std::array<float, 3> scale_{};
};

}  // namespace ombrix::mp3
