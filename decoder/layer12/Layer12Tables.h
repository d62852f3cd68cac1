#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace ombrix::mp3 {

/// One Layer II quantization class: a row of the class table of ISO/IEC 11172-3 (Table B.4).
struct QuantClass {
    int steps = 0;         ///< number of quantization steps (0: the subband is not coded)
    int bits = 0;          ///< bits per codeword (one codeword per sample, or per triple)
    bool grouped = false;  ///< three samples share one codeword (3, 5 and 9 steps)
    float c = 0.0f;        ///< requantization factor C
    float d = 0.0f;        ///< requantization offset D
    float mul = 0.0f;      ///< ungrouped: C x 2^(1 - bits), so that the value is s x mul + add
    float add = 0.0f;      ///< ungrouped: C x (D - 1)
    const float* triples = nullptr;  ///< grouped: 3 requantized values per codeword, 2^bits rows
};

/// A Layer II bit-allocation table: bits of the allocation field per subband and the class that
/// each allocation index selects (ISO/IEC 11172-3 Tables B.2a-d, ISO/IEC 13818-3 Table B.1).
struct AllocationTable {
    int sbLimit = 0;
    std::array<uint8_t, 32> nbal{};
    std::array<std::array<uint8_t, 16>, 32> classOf{};  ///< index into Layer12Tables::classes
};

/// The constant tables of Layers I and II, computed once. Thread affinity: any thread (immutable).
class Layer12Tables {
public:
    static const Layer12Tables& instance();

    /// Scale-factor multipliers 2 x 2^(-i/3) for i = 0..62; index 63 gives 0.
    std::array<float, 64> scaleFactor{};
    /// Layer I by allocation index a (n = a + 1 bits): value = factor x s + offset.
    /// Index 0 is unused; the forbidden index 15 gives 0.
    std::array<float, 16> layer1Factor{};
    std::array<float, 16> layer1Offset{};
    /// Class 0 is "not coded"; classes 1..17 have 3, 5, 7, 9, 15, 31 ... 65535 steps.
    std::array<QuantClass, 18> classes{};
    /// B.2a (sbLimit 27), B.2b (30), B.2c (8), B.2d (12) and the MPEG-2 table (30).
    AllocationTable tableA, tableB, tableC, tableD, tableMpeg2;

    /// The allocation table of a Layer II frame from its header fields.
    const AllocationTable& layer2Table(int id, int bitrateIndex, int samplingIndex,
                                       int mode) const noexcept;

    Layer12Tables(const Layer12Tables&) = delete;
    Layer12Tables& operator=(const Layer12Tables&) = delete;

private:
    Layer12Tables();
    std::vector<float> tripleStore_;
};

}  // namespace ombrix::mp3
