#include "layer3/HybridFilterbank.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "layer3/Layer3Tables.h"
#include "synthesis/SubbandSynthesizer.h"

namespace ombrix::mp3 {

namespace {

// Alias-reduction butterflies, computed once.
struct Factors {
    std::array<float, 8> cs{}, ca{};

    Factors() {
        const double c[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
        for (size_t i = 0; i < 8; ++i) {
            const double d = std::sqrt(1.0 + c[i] * c[i]);
            cs[i] = static_cast<float>(1.0 / d);
            ca[i] = static_cast<float>(c[i] / d);
        }
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
    const double scale = scaled ? SubbandSynthesizer::kIntegerScale : 1.0;
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
                matrix_[type][k][i] = static_cast<float>(
                    static_cast<double>(windows_[type][i]) *
                    std::cos(pi / 72.0 * static_cast<double>((2 * i + 1 + 18) * (2 * k + 1))));
    }
    // Short blocks: line 3 k + w (after reordering) feeds the 12-point IMDCT of window w, whose
    // windowed output lands at 6 w + 6 .. 6 w + 17.
    for (auto& line : matrix_[2]) line.fill(0.0f);
    for (size_t w = 0; w < 3; ++w)
        for (size_t k = 0; k < 6; ++k)
            for (size_t i = 0; i < 12; ++i)
                matrix_[2][3 * k + w][6 * w + 6 + i] = static_cast<float>(
                    static_cast<double>(windows_[2][i]) *
                    std::cos(pi / 24.0 * static_cast<double>((2 * i + 1 + 6) * (2 * k + 1))));
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
#if defined(__SSE2__)
        // The same butterflies four at a time; the upper lines run backwards.
        for (int h = 0; h < 2; ++h) {
            float* u4 = up + 14 - 4 * h;  // up[17 - 4h - 3 .. 17 - 4h]
            const __m128 u = _mm_shuffle_ps(_mm_loadu_ps(u4), _mm_loadu_ps(u4), 0x1B);
            const __m128 l = _mm_loadu_ps(lo + 4 * h);
            const __m128 cs = _mm_loadu_ps(c.cs.data() + 4 * h);
            const __m128 ca = _mm_loadu_ps(c.ca.data() + 4 * h);
            const __m128 nu = _mm_sub_ps(_mm_mul_ps(u, cs), _mm_mul_ps(l, ca));
            const __m128 nl = _mm_add_ps(_mm_mul_ps(l, cs), _mm_mul_ps(u, ca));
            _mm_storeu_ps(u4, _mm_shuffle_ps(nu, nu, 0x1B));
            _mm_storeu_ps(lo + 4 * h, nl);
        }
#else
        for (size_t i = 0; i < 8; ++i) {
            const float u = up[17 - i], l = lo[i];
            up[17 - i] = u * c.cs[i] - l * c.ca[i];
            lo[i] = l * c.cs[i] + u * c.ca[i];
        }
#endif
    }

    const int active = std::min(coded + 1, 32);
    for (int sb = 0; sb < active; ++sb) {
        const float* in = x + 18 * sb;
        float* ov = overlap_[static_cast<size_t>(sb)].data();
        const int type =
            blocks.windowSwitching ? ((blocks.mixed && sb < 2) ? 0 : blocks.blockType) : 0;
        alignas(32) float y[ImdctKernels::kStride];
        // Below the last coded line a silent subband is rare: no test for it.
        imdct_(in, matrix_[static_cast<size_t>(type)][0].data(), y);
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
