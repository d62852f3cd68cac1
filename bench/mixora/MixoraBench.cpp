// Cost of the effects engine on the playback thread, and of the display data on the GUI thread.
// "realtime_x" is how many times faster than real time 44.1 kHz stereo is processed.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "MixoraEngine.h"

namespace {

constexpr int kRate = 44100;
constexpr int kBlockFrames = 1152;  // one MPEG-1 Layer III frame per block

enum Effects : int {
    kReverb = 1,
    kDelay = 2,
    kSurround = 4,
    kKaraoke = 8,
    kPads = 16,
    kAll = 31,
};

std::vector<int16_t> music(int frames) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> noise(-3000.0, 3000.0);
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double centre = 9000.0 * std::sin(2 * std::numbers::pi * 220.0 * t);
        out[2 * i] = static_cast<int16_t>(centre + noise(rng));
        out[2 * i + 1] = static_cast<int16_t>(centre + noise(rng));
    }
    return out;
}

/// A short looping WAV for the pads, written to a temp file.
std::string padFile() {
    std::string path = "/tmp/mixora-bench-pad-" + std::to_string(::getpid()) + ".wav";
    std::vector<int16_t> samples(22050);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(8000.0 * std::sin(0.05 * static_cast<double>(i)));
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return path;
    auto put32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto put16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, f); };
    std::fwrite("RIFF", 1, 4, f);
    put32(36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(16);
    put16(1);
    put16(1);
    put32(22050);
    put32(44100);
    put16(2);
    put16(16);
    std::fwrite("data", 1, 4, f);
    put32(dataBytes);
    std::fwrite(samples.data(), 2, samples.size(), f);
    std::fclose(f);
    return path;
}

void configure(mixora::MixoraEngine& engine, int effects) {
    engine.setSampleRate(kRate);
    engine.enableFx(effects != 0);
    engine.enableReverb(effects & kReverb);
    engine.setReverbDelay(40);
    engine.setReverbScale(20000);
    engine.setReverbDecay(3000);
    engine.enableDelay(effects & kDelay);
    engine.setDelayTime(300);
    engine.setDelayScale(12000);
    engine.setDelayFeed(14000);
    engine.setDelayPan(-8000);
    engine.enableSurround(effects & kSurround);
    engine.cancelVocal(effects & kKaraoke);
    if (effects & kPads) {
        const std::string pad = padFile();
        for (int p = 0; p < 2; ++p) {
            engine.loadSample(p, pad);
            engine.setSampleLoop(p, true);
            engine.setSamplePan(p, p == 0 ? -16000 : 16000);
            engine.playSample(p);
        }
        std::remove(pad.c_str());
    }
}

// Runs the engine over blocks of music, calling @p beforeBlock first each time, and reports
// seconds of audio processed per second of CPU time: the share of one core that real-time
// playback takes is 100 / realtime_x percent.
template <typename BeforeBlock>
void processBlocks(benchmark::State& state, mixora::MixoraEngine& engine, BeforeBlock beforeBlock) {
    const std::vector<int16_t> source = music(kBlockFrames * 64);
    std::vector<int16_t> block(kBlockFrames * 2);
    size_t at = 0;
    for (auto _ : state) {
        beforeBlock();
        std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(at), block.size(), block.begin());
        at = (at + block.size()) % source.size();
        engine.process(block.data(), kBlockFrames, 2);
        benchmark::DoNotOptimize(block.data());
    }
    const double audioSeconds = static_cast<double>(state.iterations()) * kBlockFrames / kRate;
    state.counters["realtime_x"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
    state.SetItemsProcessed(state.iterations() * kBlockFrames);
}

void BM_ProcessStereo(benchmark::State& state) {
    mixora::MixoraEngine engine;
    configure(engine, static_cast<int>(state.range(0)));
    processBlocks(state, engine, [] {});
}
BENCHMARK(BM_ProcessStereo)
    ->ArgName("effects")
    ->Arg(0)
    ->Arg(kReverb)
    ->Arg(kDelay)
    ->Arg(kSurround)
    ->Arg(kKaraoke)
    ->Arg(kPads)
    ->Arg(kAll);

// The octave equaliser alone (effects off): 0 off, 1 one band moved, 2 every band moved, 3 every
// band moving all the time (coefficients recomputed every 32 frames).
void BM_ProcessStereoOctaveEq(benchmark::State& state) {
    const int bands = static_cast<int>(state.range(0));
    mixora::MixoraEngine engine;
    configure(engine, 0);
    engine.enableOctaveEq(bands != 0);
    for (int b = 0; b < 10; ++b)
        engine.setOctaveGain(b, bands == 1 ? (b == 5 ? -6.0f : 0.0f) : (b % 2 ? 4.0f : -5.0f));
    bool up = false;
    processBlocks(state, engine, [&] {
        if (bands != 3) return;
        up = !up;
        for (int b = 0; b < 10; ++b) engine.setOctaveGain(b, up ? 6.0f : -6.0f);
    });
}
BENCHMARK(BM_ProcessStereoOctaveEq)->ArgName("bands")->Arg(0)->Arg(1)->Arg(2)->Arg(3);

void BM_GetVisualization(benchmark::State& state) {
    mixora::MixoraEngine engine;
    std::vector<int16_t> block = music(4096);
    engine.process(block.data(), 4096, 2);
    std::vector<uint8_t> wave(1152), spectrum(1152);
    float l, r;
    for (auto _ : state) {
        engine.getVisualization(&l, &r, wave.data(), spectrum.data());
        benchmark::DoNotOptimize(spectrum.data());
    }
}
BENCHMARK(BM_GetVisualization);

}  // namespace
