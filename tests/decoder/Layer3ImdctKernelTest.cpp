#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "layer3/ImdctKernels.h"

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
