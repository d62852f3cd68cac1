#include "layer3/HybridFilterbank.h"

#include <algorithm>
#include <cmath>

#include "layer3/Layer3Tables.h"

namespace ombrix::mp3 {

namespace {

// Alias-reduction butterflies and IMDCT cosines, computed once.
struct Factors {
    std::array<float, 8> cs{}, ca{};
    std::array<std::array<float, 6>, 12> cos12{};

    Factors() {
        const double pi = std::acos(-1.0);
        const double c[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
        for (size_t i = 0; i < 8; ++i) {
            const double d = std::sqrt(1.0 + c[i] * c[i]);
            cs[i] = static_cast<float>(1.0 / d);
            ca[i] = static_cast<float>(c[i] / d);
        }
        for (size_t i = 0; i < 12; ++i)
            for (size_t k = 0; k < 6; ++k)
                cos12[i][k] = static_cast<float>(
                    std::cos(pi / 24.0 * static_cast<double>((2 * i + 1 + 6) * (2 * k + 1))));
    }
};

const Factors& factors() {
    static const Factors f;
    return f;
}

}  // namespace

HybridFilterbank::HybridFilterbank() : imdct_(ImdctKernels::best()) {
    factors();
    scaled_ = true;  // forces the first build
    setScale(false);
}

void HybridFilterbank::setScale(bool scaled) {
    if (scaled == scaled_) return;
    const double scale = scaled ? 32768.0 : 1.0;
    const double pi = std::acos(-1.0);
    for (size_t i = 0; i < 36; ++i) {
        const double normal = std::sin(pi / 36.0 * (static_cast<double>(i) + 0.5));
        double start = normal;
        if (i >= 18 && i < 24) start = 1.0;
        if (i >= 24 && i < 30) start = std::sin(pi / 12.0 * (static_cast<double>(i) - 18 + 0.5));
        if (i >= 30) start = 0.0;
        windows_[0][i] = static_cast<float>(normal * scale);
        windows_[1][i] = static_cast<float>(start * scale);
        windows_[3][35 - i] = static_cast<float>(start * scale);
        windows_[2][i] =
            i < 12
                ? static_cast<float>(std::sin(pi / 12.0 * (static_cast<double>(i) + 0.5)) * scale)
                : 0.0f;
    }
    for (size_t type = 0; type < 4; ++type) {
        if (type == 2) continue;
        for (size_t k = 0; k < 18; ++k)
            for (size_t i = 0; i < 36; ++i)
                longMatrix_[type][k][i] = static_cast<float>(
                    static_cast<double>(windows_[type][i]) *
                    std::cos(pi / 72.0 * static_cast<double>((2 * i + 1 + 18) * (2 * k + 1))));
    }
    scaled_ = scaled;
}

void HybridFilterbank::reset() noexcept {
    for (auto& sb : overlap_) sb.fill(0.0f);
}

void HybridFilterbank::process(const float* xr, int activeLines, const BandTable& bands,
                               const Blocks& blocks, float (*out)[32]) noexcept {
    const Factors& c = factors();
    float* x = lines_.data();
    const bool shortBlocks = blocks.windowSwitching && blocks.blockType == 2;
    // Subbands holding non-zero lines; reordering stays within a band, so short blocks are taken
    // whole.
    const int coded = shortBlocks ? 32 : std::clamp((activeLines + 17) / 18, 0, 32);

    // Reorder the short blocks so that the three windows of each line lie side by side.
    if (shortBlocks) {
        int firstShort = 0;
        if (blocks.mixed) {
            std::copy(xr, xr + 36, x);
            firstShort = 3;
        }
        for (int b = firstShort; b < 13; ++b) {
            const int start = bands.shortStart[static_cast<size_t>(b)];
            const int width = bands.shortStart[static_cast<size_t>(b + 1)] - start;
            for (int w = 0; w < 3; ++w)
                for (int k = 0; k < width; ++k)
                    x[3 * (start + k) + w] = xr[3 * start + w * width + k];
        }
    } else {
        // One subband more than coded: the alias reduction spreads into it.
        std::copy(xr, xr + 18 * std::min(coded + 1, 32), x);
    }

    // Alias reduction between subbands transformed as long blocks; boundaries above the coded
    // subbands join zeros.
    const int boundaries = std::min(shortBlocks ? (blocks.mixed ? 1 : 0) : 31, coded);
    for (int sb = 0; sb < boundaries; ++sb) {
        float* up = x + 18 * sb;
        float* lo = x + 18 * (sb + 1);
        for (size_t i = 0; i < 8; ++i) {
            const float u = up[17 - i], l = lo[i];
            up[17 - i] = u * c.cs[i] - l * c.ca[i];
            lo[i] = l * c.cs[i] + u * c.ca[i];
        }
    }

    const int active = std::min(coded + 1, 32);
    for (int sb = 0; sb < active; ++sb) {
        const float* in = x + 18 * sb;
        float* ov = overlap_[static_cast<size_t>(sb)].data();
        const int type =
            blocks.windowSwitching ? ((blocks.mixed && sb < 2) ? 0 : blocks.blockType) : 0;
        alignas(32) float y[ImdctKernels::kStride];
        if (type != 2) {
            // Below the last coded line a silent subband is rare: no test for it.
            imdct_(in, longMatrix_[static_cast<size_t>(type)][0].data(), y);
        } else if (std::all_of(in, in + 18, [](float v) { return v == 0.0f; })) {
            std::fill(y, y + 36, 0.0f);
        } else {
            // The same symmetry for the three 12-point IMDCTs: rows 3..8 are distinct.
            const float* win = windows_[2].data();
            std::fill(y, y + 36, 0.0f);
            for (int w = 0; w < 3; ++w) {
                float t[12];
                for (size_t i = 3; i < 9; ++i) {
                    const float* cosRow = c.cos12[i].data();
                    float s = 0.0f;
                    for (int k = 0; k < 6; ++k) s += in[3 * k + w] * cosRow[k];
                    t[i] = s;
                }
                for (int i = 0; i < 3; ++i) t[i] = -t[5 - i];
                for (int i = 9; i < 12; ++i) t[i] = t[17 - i];
                for (int i = 0; i < 12; ++i) y[6 * w + 6 + i] += t[i] * win[i];
            }
        }
        for (int i = 0; i < 18; ++i) {
            float v = y[i] + ov[i];
            ov[i] = y[18 + i];
            if ((sb & 1) && (i & 1)) v = -v;  // frequency inversion
            out[i][sb] = v;
        }
    }
    // Silent subbands: only what the previous granule left overlaps.
    for (int sb = active; sb < 32; ++sb) {
        float* ov = overlap_[static_cast<size_t>(sb)].data();
        for (int i = 0; i < 18; ++i) {
            const float v = ov[i];
            out[i][sb] = ((sb & 1) && (i & 1)) ? -v : v;
            ov[i] = 0.0f;
        }
    }
}

}  // namespace ombrix::mp3
