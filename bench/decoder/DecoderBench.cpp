// Stage benchmarks of the decoder: synthesis steps on each path, PCM conversion, frame reading,
// and whole-file decoding through the playback loop with a capture device.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "core/DecoderSettings.h"
#include "core/FrameReader.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"
#include "output/CaptureAudioDevice.h"
#include "output/WaveOutput.h"
#include "synthesis/SubbandSynthesizer.h"

namespace {

using namespace ombrix::mp3;

enum PathArg { kFloat = 0, kMmx = 1, kK63D = 2 };

void configure(DecoderSettings& settings, int64_t path) {
    settings.enableMmx(path == kMmx);
    settings.enableK63D(path == kK63D);
    settings.setVolume(32768);
}

void BM_SynthesisStep(benchmark::State& state) {
    DecoderSettings settings;
    configure(settings, state.range(0));
    WaveOutput output(nullptr, PcmFormat{1, 44100}, 1152, 1, false, nullptr);
    SubbandSynthesizer synth(0, settings);
    std::mt19937 random(1);
    std::uniform_real_distribution<float> value(-0.5f, 0.5f);
    for (int i = 0; i < 32; ++i) {
        synth.input[static_cast<size_t>(i)] = value(random);
        synth.inputInt[static_cast<size_t>(i)] =
            static_cast<int32_t>(synth.input[static_cast<size_t>(i)] * 32768);
    }
    int steps = 0;
    for (auto _ : state) {
        if (state.range(0) == kMmx) {
            synth.synthesizeInt(output);
        } else {
            synth.synthesizeFloat(output);
        }
        if (++steps == 36) {
            steps = 0;
            output.writePos(0) = 0;
        }
    }
    state.SetItemsProcessed(state.iterations() * 32);
}
BENCHMARK(BM_SynthesisStep)->Arg(kFloat)->Arg(kMmx)->Arg(kK63D);

void BM_ConvertBlock(benchmark::State& state) {
    std::vector<int32_t> in(55296 / 2);
    std::vector<int16_t> out(in.size());
    std::mt19937 random(2);
    for (int32_t& v : in) v = static_cast<int32_t>(random() % 80000) - 40000;
    for (auto _ : state) {
        convertBlock(in.data(), out.data(), in.size(), state.range(0) != 0);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.size()));
}
BENCHMARK(BM_ConvertBlock)->Arg(0)->Arg(1);

// Test files are made once per run with the encoders, from a generated signal.
const std::filesystem::path& benchDir() {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / "ombrix-bench";
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

std::string makeFile(const std::string& name, const std::string& encode) {
    const auto path = benchDir() / name;
    if (std::filesystem::exists(path)) return path.string();
    const auto wav = benchDir() / "source.wav";
    if (!std::filesystem::exists(wav)) {
        const std::string make =
            std::string(OMBRIX_DEMO_SONG) + " --seconds 30 '" + wav.string() + "'";
        if (std::system(make.c_str()) != 0) return {};
    }
    const std::string command =
        encode + " '" + wav.string() + "' '" + path.string() + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 ? path.string() : std::string{};
}

void decodeWhole(benchmark::State& state, const std::string& file) {
    if (file.empty()) {
        state.SkipWithError("encoder not available");
        return;
    }
    DecoderSettings settings;
    configure(settings, state.range(0));
    int64_t samples = 0;
    for (auto _ : state) {
        PlaybackControl control;
        CaptureAudioDevice device([&](const PcmFormat&, const int16_t*, size_t count) {
            samples += static_cast<int64_t>(count);
        });
        Playback playback(settings, control, EffectsHooks{});
        benchmark::DoNotOptimize(playback.run(file, 0, &device));
    }
    state.SetItemsProcessed(samples);
}

void BM_DecodeMp3Cbr128(benchmark::State& state) {
    decodeWhole(state, makeFile("cbr128.mp3", "lame --quiet -b 128"));
}
BENCHMARK(BM_DecodeMp3Cbr128)->Arg(kFloat)->Arg(kMmx)->Arg(kK63D)->Unit(benchmark::kMillisecond);

void BM_DecodeMp2(benchmark::State& state) {
    decodeWhole(state, makeFile("mp2-192.mp2", "twolame --quiet -b 192"));
}
BENCHMARK(BM_DecodeMp2)->Arg(kFloat)->Unit(benchmark::kMillisecond);

void BM_FrameReaderScan(benchmark::State& state) {
    const std::string file = makeFile("cbr128.mp3", "lame --quiet -b 128");
    int64_t frames = 0;
    for (auto _ : state) {
        FrameReader reader(file, 0);
        FrameHeader header;
        while (reader.readFrame(header)) ++frames;
    }
    state.SetItemsProcessed(frames);
}
BENCHMARK(BM_FrameReaderScan)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
