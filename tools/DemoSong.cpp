// Writes the demo song as a 44.1 kHz stereo WAV file: chords with harmonics over a bass line and
// a noise hi-hat, so that `make run` has something to play without shipping audio files, and the
// benchmarks have minutes of broadband material that keeps an encoder busy like real music.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "WavWriter.h"

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

double tone(double hz, double t) {
    // A few harmonics, falling off, so that the spectrum is not a lone line.
    return std::sin(2 * kPi * hz * t) + 0.5 * std::sin(4 * kPi * hz * t) +
           0.25 * std::sin(6 * kPi * hz * t) + 0.12 * std::sin(8 * kPi * hz * t);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 8.0;
    double transpose = 0.0;     // semitones
    double noteSeconds = 0.25;  // length of one melody note
    const char* output = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--transpose") == 0 && i + 1 < argc) {
            transpose = std::clamp(std::atof(argv[++i]), -24.0, 24.0);
        } else if (std::strcmp(argv[i], "--note") == 0 && i + 1 < argc) {
            noteSeconds = std::clamp(std::atof(argv[++i]), 0.05, 2.0);
        } else {
            output = argv[i];
        }
    }
    if (!output || seconds <= 0 || seconds > 3600) {
        std::fprintf(
            stderr,
            "usage: demo-song [--seconds N] [--transpose SEMITONES] [--note SECONDS] OUTPUT.wav\n");
        return 64;
    }
    const double key = std::pow(2.0, transpose / 12.0);
    double melody[] = {261.63, 329.63, 392.00, 523.25, 392.00, 329.63, 293.66, 349.23,
                       440.00, 587.33, 440.00, 349.23, 246.94, 293.66, 392.00, 493.88};
    for (double& f : melody) f *= key;
    const size_t frames = static_cast<size_t>(seconds * kRate);
    std::mt19937 random(12345);
    std::normal_distribution<double> noise(0.0, 1.0);
    double hatLow = 0.0;
    std::vector<int16_t> pcm;
    pcm.reserve(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const size_t note = static_cast<size_t>(t / noteSeconds);
        const double inNote = t - static_cast<double>(note) * noteSeconds;
        const double lead = tone(melody[note % 16], t) * std::exp(-4.0 * inNote);
        const double bass = tone(melody[(note / 4 * 4) % 16] / 2, t) * 0.5;
        const double third = tone(melody[(note + 2) % 16] * 1.5, t) * 0.15;
        // High-passed noise in short bursts on every eighth note.
        const double n = noise(random);
        hatLow += 0.2 * (n - hatLow);
        const double inHat = std::fmod(t, noteSeconds / 2);
        const double hat = (n - hatLow) * std::exp(-40.0 * inHat) * 0.35;
        const double left = 0.5 * lead + 0.3 * bass + third + hat;
        const double right = 0.3 * lead + 0.35 * bass + third + 0.7 * hat;
        pcm.push_back(static_cast<int16_t>(std::lround(std::clamp(left, -1.5, 1.5) * 9000)));
        pcm.push_back(static_cast<int16_t>(std::lround(std::clamp(right, -1.5, 1.5) * 9000)));
    }
    try {
        ombrix::tools::WavWriter writer(output, false);
        writer.write(2, kRate, pcm.data(), pcm.size());
        return writer.finish() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "demo-song: %s\n", e.what());
        return 1;
    }
}
