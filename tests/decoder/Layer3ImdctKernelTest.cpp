#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "layer3/HybridFilterbank.h"
#include "layer3/ImdctKernels.h"
#include "layer3/Layer3Tables.h"

using namespace ombrix::mp3;

TEST(Layer3ImdctKernels, EveryFormComputesTheLongBlockTransform) {
    // The matrix of the 36-point IMDCT with the normal window, as the filterbank builds it.
    const double pi = std::acos(-1.0);
    alignas(32) float matrix[18 * ImdctKernels::kStride] = {};
    for (int k = 0; k < 18; ++k)
        for (int i = 0; i < 36; ++i)
            matrix[k * ImdctKernels::kStride + i] = static_cast<float>(
                std::sin(pi / 36 * (i + 0.5)) * std::cos(pi / 72 * (2 * i + 1 + 18) * (2 * k + 1)));
    std::vector<ImdctKernels::Kernel> kernels{ImdctKernels::scalar()};
    if (auto k = ImdctKernels::sse()) kernels.push_back(k);
    if (auto k = ImdctKernels::avx2()) kernels.push_back(k);
    ASSERT_EQ(ImdctKernels::best(), kernels.back());

    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    for (int trial = 0; trial < 20; ++trial) {
        float in[18];
        for (float& v : in) v = d(rng);
        if (trial == 0) std::fill(in + 5, in + 18, 0.0f);  // a band-limited subband
        for (auto kernel : kernels) {
            alignas(32) float y[ImdctKernels::kStride];
            std::fill(y, y + ImdctKernels::kStride, 99.0f);
            kernel(in, matrix, y);
            for (int i = 0; i < 36; ++i) {
                double want = 0;
                for (int k = 0; k < 18; ++k)
                    want += in[k] * std::sin(pi / 36 * (i + 0.5)) *
                            std::cos(pi / 72 * (2 * i + 1 + 18) * (2 * k + 1));
                ASSERT_NEAR(y[i], want, 1e-5) << "trial " << trial << " output " << i;
            }
            for (int i = 36; i < ImdctKernels::kStride; ++i) EXPECT_EQ(y[i], 0.0f);
        }
    }
}

// Naming the silent lines changes nothing: the subbands above them still release the previous
// granule's overlap, and the alias reduction still reaches the subband above the last line.
TEST(Layer3HybridFilterbank, SkippingSilentSubbandsGivesTheSameOutput) {
    HybridFilterbank full, skipping;
    const BandTable& bands = kBandTables[3];
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    for (int granule = 0; granule < 6; ++granule) {
        const int active = granule % 2 ? 100 : 576;  // a wide granule, then a narrow one
        float spectrum[576] = {};
        for (int i = 0; i < active; ++i) spectrum[i] = d(rng);
        HybridFilterbank::Blocks blocks;
        blocks.windowSwitching = granule == 4;
        blocks.blockType = granule == 4 ? 3 : 0;
        alignas(32) float a[18][32], b[18][32];
        full.process(spectrum, 576, bands, blocks, a);
        skipping.process(spectrum, active, bands, blocks, b);
        for (int t = 0; t < 18; ++t)
            for (int sb = 0; sb < 32; ++sb)
                ASSERT_EQ(a[t][sb], b[t][sb])
                    << "granule " << granule << " slot " << t << " sb " << sb;
    }
}
