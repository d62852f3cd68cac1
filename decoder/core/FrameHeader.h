#pragma once

#include <cstdint>
#include <optional>

namespace ombrix::mp3 {

class PaddingTable;

/// CRC-16 (polynomial 0x8005, MSB first) of protected frames.
class Crc16 {
public:
    static constexpr uint16_t kInitial = 0xFFFF;

    /// Feeds the low `count` bits of `bits`, most significant first.
    void feed(uint32_t bits, int count) noexcept;
    uint16_t value() const noexcept { return value_; }
    void reset() noexcept { value_ = kInitial; }

private:
    uint16_t value_ = kInitial;
};

/// The decoded fields of the frame header in hand, plus what the stream carries from frame to
/// frame (lock, CRC register, padding table). One per playback; updated by every header read.
/// Thread affinity: the playback thread.
struct FrameHeader {
    bool locked = false;
    int id = 1;                ///< 1 = MPEG-1, 0 = MPEG-2 (lower sampling frequencies)
    int layer = 3;             ///< 1, 2 or 3
    int protectionAbsent = 1;  ///< 0 = a CRC word follows the header
    int bitrateIndex = 0;
    int samplingIndex = 0;
    int padding = 0;
    int mode = 0;  ///< 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    int modeExtension = 0;
    int jsBound = 0;
    int sbLimit = 32;
    uint32_t payloadLength = 0;   ///< frame length minus the 4 header bytes
    uint32_t mainDataLength = 0;  ///< Layer III: main-data bytes carried by this frame
    uint16_t storedCrc = 0;
    std::optional<Crc16> crcRegister;

    static constexpr int kSingleChannel = 3;
    static constexpr int kJointStereo = 1;

    /// Decodes the fields of a 32-bit big-endian header word that passed the sync rules.
    /// Returns false for headers that cannot be read as frames (free format, bit-rate index 15,
    /// reserved layer or sampling frequency).
    bool decode(uint32_t word) noexcept;

    int channels() const noexcept { return mode == kSingleChannel ? 1 : 2; }
    int bitrate() const noexcept;       ///< bit/s
    int samplingRate() const noexcept;  ///< Hz
    int samplesPerFrame() const noexcept;
    uint32_t frameLength() const noexcept;  ///< bytes, header included
    int sideInfoLength() const noexcept;    ///< Layer III side information bytes
};

/// Bit rates in bit/s by [id][layer - 1][bitrateIndex].
int bitrateOf(int id, int layer, int bitrateIndex) noexcept;
/// Sampling rates in Hz by [id][samplingIndex].
int samplingRateOf(int id, int samplingIndex) noexcept;

}  // namespace ombrix::mp3
