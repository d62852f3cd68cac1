#include "synthesis/Dct32.h"

#include <array>
#include <cmath>

namespace ombrix::mp3 {

namespace {

// Factors 1/(2 cos((2k + 1) pi / (2n))) for n = 32, 16, 8, 4, 2, stored one size after the other
// (16 + 8 + 4 + 2 + 1 = 31 values); offsetOf(n) gives the first of size n.
constexpr int offsetOf(int n) noexcept {
    return n == 32 ? 0 : n == 16 ? 16 : n == 8 ? 24 : n == 4 ? 28 : 30;
}

struct Factors {
    std::array<float, 31> f{};
    std::array<int32_t, 31> q{};
    Factors() {
        const double pi = std::acos(-1.0);
        for (int n = 32; n >= 2; n /= 2) {
            for (int k = 0; k < n / 2; ++k) {
                const double v = 1.0 / (2.0 * std::cos((2 * k + 1) * pi / (2.0 * n)));
                f[static_cast<size_t>(offsetOf(n) + k)] = static_cast<float>(v);
                q[static_cast<size_t>(offsetOf(n) + k)] = static_cast<int32_t>(16777216.0 * v);
            }
        }
    }
};

const Factors kFactors;

// One Lee stage of size N, then the two halves recursively; the result lands in `out`.
template <int N>
struct FloatDct {
    static void run(const float* x, float* out) noexcept {
        constexpr int h = N / 2;
        float a[h], b[h], A[h], B[h];
        const float* f = kFactors.f.data() + offsetOf(N);
        for (int k = 0; k < h; ++k) {
            a[k] = x[k] + x[N - 1 - k];
            b[k] = (x[k] - x[N - 1 - k]) * f[k];
        }
        FloatDct<h>::run(a, A);
        FloatDct<h>::run(b, B);
        for (int m = 0; m < h - 1; ++m) {
            out[2 * m] = A[m];
            out[2 * m + 1] = B[m] + B[m + 1];
        }
        out[N - 2] = A[h - 1];
        out[N - 1] = B[h - 1];
    }
};

template <>
struct FloatDct<1> {
    static void run(const float* x, float* out) noexcept { out[0] = x[0]; }
};

template <int N>
struct FixedDct {
    static void run(const int32_t* x, int32_t* out) noexcept {
        constexpr int h = N / 2;
        int32_t a[h], b[h], A[h], B[h];
        const int32_t* q = kFactors.q.data() + offsetOf(N);
        for (int k = 0; k < h; ++k) {
            a[k] = x[k] + x[N - 1 - k];
            const int64_t d = static_cast<int64_t>(x[k]) - x[N - 1 - k];
            b[k] = static_cast<int32_t>((d * q[k] + 8388608) >> 24);
        }
        FixedDct<h>::run(a, A);
        FixedDct<h>::run(b, B);
        for (int m = 0; m < h - 1; ++m) {
            out[2 * m] = A[m];
            out[2 * m + 1] = B[m] + B[m + 1];
        }
        out[N - 2] = A[h - 1];
        out[N - 1] = B[h - 1];
    }
};

template <>
struct FixedDct<1> {
    static void run(const int32_t* x, int32_t* out) noexcept { out[0] = x[0]; }
};

}  // namespace

void dct32(const float* in, float* out) noexcept {
    FloatDct<32>::run(in, out);
}

void dct32Fixed(const int32_t* in, int32_t* out) noexcept {
    FixedDct<32>::run(in, out);
}

}  // namespace ombrix::mp3
