// Writes the demo song as a 44.1 kHz stereo WAV file: a short arpeggio with a soft bass, so
// that `make run` has something pleasant to play without shipping audio files.
#include <cmath>
#include <cstdio>
#include <vector>

#include "WavWriter.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: demo-song OUTPUT.wav\n");
        return 64;
    }
    constexpr int kRate = 44100;
    constexpr double kPi = 3.14159265358979323846;
    const double notes[] = {261.63, 329.63, 392.00, 523.25, 392.00, 329.63, 293.66, 349.23,
                            440.00, 587.33, 440.00, 349.23, 246.94, 293.66, 392.00, 493.88};
    const double noteSeconds = 0.25;
    const int noteSamples = static_cast<int>(kRate * noteSeconds);
    std::vector<int16_t> pcm;
    for (int repeat = 0; repeat < 2; ++repeat) {
        for (size_t n = 0; n < std::size(notes); ++n) {
            const double bass = notes[(n / 4) * 4] / 2;
            for (int i = 0; i < noteSamples; ++i) {
                const double t = static_cast<double>(i) / kRate;
                const double envelope = std::exp(-4.0 * t);
                const double lead = std::sin(2 * kPi * notes[n] * t) * envelope;
                const double low = std::sin(2 * kPi * bass * t) * 0.5;
                pcm.push_back(static_cast<int16_t>(9000 * (0.8 * lead + 0.3 * low)));
                pcm.push_back(static_cast<int16_t>(9000 * (0.4 * lead + 0.5 * low)));
            }
        }
    }
    try {
        ombrix::tools::WavWriter writer(argv[1], false);
        writer.write(2, kRate, pcm.data(), pcm.size());
        return writer.finish() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "demo-song: %s\n", e.what());
        return 1;
    }
}
