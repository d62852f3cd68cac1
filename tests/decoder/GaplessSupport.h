#pragma once

// Material and measures for the gapless tests of the decoder and of the controller: a piece of
// music-like audio and how closely a decode follows it. Header-only, standard library only.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ombrix::test {

/// `seconds` of two voices at `rate`, interleaved stereo: a melody of gliding notes on the left,
/// a slower line a fifth up with a bright overtone on the right, both always sounding (no fade at
/// either end, so that a missing or extra sample anywhere shows). Phase runs on through every
/// change of pitch, so the piece has no clicks of its own.
inline std::vector<int16_t> musicPiece(int rate, double seconds) {
    const double pi = std::acos(-1.0);
    const double notes[] = {392.0, 440.0, 493.9, 523.3, 587.3, 523.3, 440.0, 349.2};
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> out(2 * frames);
    double left = 0.0, right = 0.0, bright = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        // A note every 0.3 s, gliding into the next over its last 40 ms.
        const size_t n = static_cast<size_t>(t / 0.3);
        const double into = t - static_cast<double>(n) * 0.3;
        const double from = notes[n % 8], to = notes[(n + 1) % 8];
        const double glide = std::clamp((into - 0.26) / 0.04, 0.0, 1.0);
        const double f = from + (to - from) * glide;
        const double g = 1.5 * notes[(n / 3) % 8];
        left += 2.0 * pi * f / rate;
        right += 2.0 * pi * g / rate;
        bright += 2.0 * pi * (g * 5.0) / rate;
        const double swell = 0.8 + 0.2 * std::sin(2.0 * pi * 0.7 * t);
        out[2 * i] = static_cast<int16_t>(
            std::lround(9000.0 * swell * (std::sin(left) + 0.3 * std::sin(3.0 * left))));
        out[2 * i + 1] =
            static_cast<int16_t>(std::lround(8000.0 * std::sin(right) + 2500.0 * std::sin(bright)));
    }
    return out;
}

/// How `decoded` follows `source` (interleaved, `channels` per frame) at the best lag within
/// +-`search` frames of `lag`: decoded frame i is compared with source frame i - lag.
struct Alignment {
    long lag = 0;
    double relativeError = 1.0;  ///< RMS of the difference over the RMS of the source
};

inline double relativeError(const std::vector<int16_t>& decoded, const std::vector<int16_t>& source,
                            long lag, int channels) {
    const long frames = static_cast<long>(std::min(decoded.size(), source.size()) / channels);
    double diff = 0.0, level = 0.0;
    for (long i = std::max(0L, lag); i < frames && i - lag < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double s = source[static_cast<size_t>((i - lag) * channels + c)];
            const double d = decoded[static_cast<size_t>(i * channels + c)];
            diff += (d - s) * (d - s);
            level += s * s;
        }
    }
    return level > 0.0 ? std::sqrt(diff / level) : 1.0;
}

inline Alignment align(const std::vector<int16_t>& decoded, const std::vector<int16_t>& source,
                       long lag, long search, int channels = 2) {
    Alignment best;
    for (long l = lag - search; l <= lag + search; ++l) {
        const double e = relativeError(decoded, source, l, channels);
        if (e < best.relativeError) best = {l, e};
    }
    return best;
}

/// The difference between two equally long stereo signals within 1,024 frames of each join,
/// against the rest, both as RMS and as the largest single difference.
struct JoinErrors {
    double atJoins = 0.0;
    double elsewhere = 0.0;
    int maxAtJoins = 0;
    int maxElsewhere = 0;
};

inline JoinErrors joinErrors(const std::vector<int16_t>& decoded,
                             const std::vector<int16_t>& source, const std::vector<size_t>& joins) {
    constexpr size_t kNear = 1024;
    JoinErrors e;
    double sumNear = 0.0, sumFar = 0.0;
    size_t nearCount = 0, farCount = 0;
    const size_t frames = std::min(decoded.size(), source.size()) / 2;
    for (size_t i = 0; i < frames; ++i) {
        const bool near = std::any_of(joins.begin(), joins.end(),
                                      [&](size_t j) { return i + kNear >= j && i < j + kNear; });
        for (size_t c = 0; c < 2; ++c) {
            const int d = decoded[2 * i + c] - source[2 * i + c];
            if (near) {
                sumNear += double(d) * d;
                ++nearCount;
                e.maxAtJoins = std::max(e.maxAtJoins, std::abs(d));
            } else {
                sumFar += double(d) * d;
                ++farCount;
                e.maxElsewhere = std::max(e.maxElsewhere, std::abs(d));
            }
        }
    }
    e.atJoins = nearCount ? std::sqrt(sumNear / nearCount) : 0.0;
    e.elsewhere = farCount ? std::sqrt(sumFar / farCount) : 0.0;
    return e;
}

/// The CRC-16 a LAME tag stores over the bytes of its frame before it (polynomial 0x8005,
/// reflected, starting at 0).
inline uint16_t lameTagCrc(const uint8_t* data, size_t size) {
    uint16_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

/// A 16-bit PCM WAVE file's bytes.
inline std::vector<uint8_t> waveBytes(int rate, int channels, const std::vector<int16_t>& pcm) {
    std::vector<uint8_t> out;
    const auto le = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const uint32_t data = static_cast<uint32_t>(pcm.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    le(36 + data, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    le(16, 4);
    le(1, 2);
    le(static_cast<uint32_t>(channels), 2);
    le(static_cast<uint32_t>(rate), 4);
    le(static_cast<uint32_t>(rate * channels * 2), 4);
    le(static_cast<uint32_t>(channels * 2), 2);
    le(16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    le(data, 4);
    for (int16_t s : pcm) le(static_cast<uint16_t>(s), 2);
    return out;
}

}  // namespace ombrix::test
