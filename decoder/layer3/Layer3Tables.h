#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ombrix::mp3 {

/// Scale-factor band boundaries of one sampling rate: 23 long-block and 14 short-block starts.
struct BandTable {
    std::array<int16_t, 23> longStart;
    std::array<int16_t, 14> shortStart;
};

/// Rows 0..2: MPEG-2 at 22.05, 24, 16 kHz; rows 3..5: MPEG-1 at 44.1, 48, 32 kHz.
extern const std::array<BandTable, 6> kBandTables;
extern const std::array<uint8_t, 16> kSlen1;
extern const std::array<uint8_t, 16> kSlen2;
extern const std::array<uint8_t, 22> kPretab;
/// MPEG-2 scale-factor partitions: [table 0..5][block row 0..2][partition 0..3].
extern const uint8_t kPartitionSizes[6][3][4];

}  // namespace ombrix::mp3
