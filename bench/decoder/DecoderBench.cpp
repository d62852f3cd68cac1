// Stage benchmarks of the decoder: synthesis steps on each path and each kernel form, the IMDCT
// kernels, Huffman decoding, PCM conversion, frame reading, and whole-file decoding through the
// playback loop with a capture device.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/DecoderSettings.h"
#include "core/FrameReader.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"
#include "layer3/BitReservoir.h"
#include "layer3/HuffmanTables.h"
#include "layer3/ImdctKernels.h"
#include "output/CaptureAudioDevice.h"
#include "output/WaveOutput.h"
#include "synthesis/SubbandSynthesizer.h"
#include "synthesis/WindowKernels.h"

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

enum KernelArg { kScalar = 0, kSse = 1, kAvx2 = 2 };

void BM_WindowKernel(benchmark::State& state) {
    const bool truncate = false;
    const WindowKernels::Kernel kernel = state.range(0) == kScalar ? WindowKernels::scalar(truncate)
                                         : state.range(0) == kSse  ? WindowKernels::sse(truncate)
                                                                   : WindowKernels::avx2(truncate);
    if (!kernel) {
        state.SkipWithError("not available on this processor");
        return;
    }
    DecoderSettings settings;
    settings.setVolume(32768);
    alignas(32) float history[16 * 32];
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(-0.5f, 0.5f);
    for (float& v : history) v = value(random);
    alignas(32) int32_t out[64];
    int phase = 0;
    for (auto _ : state) {
        kernel(history, phase, settings.window().floatsByTap.data(), out, 2);
        phase = (phase + 1) & 15;
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations() * 32);
}
BENCHMARK(BM_WindowKernel)->Arg(kScalar)->Arg(kSse)->Arg(kAvx2);

void BM_ImdctKernel(benchmark::State& state) {
    const ImdctKernels::Kernel kernel = state.range(0) == kScalar ? ImdctKernels::scalar()
                                        : state.range(0) == kSse  ? ImdctKernels::sse()
                                                                  : ImdctKernels::avx2();
    if (!kernel) {
        state.SkipWithError("not available on this processor");
        return;
    }
    alignas(32) float matrix[18 * ImdctKernels::kStride];
    alignas(32) float in[32 * 18];
    alignas(32) float y[ImdctKernels::kStride];
    std::mt19937 random(4);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (float& v : matrix) v = value(random);
    for (float& v : in) v = value(random);
    for (auto _ : state) {
        for (int sb = 0; sb < 32; ++sb) {
            kernel(in + 18 * sb, matrix, y);
            benchmark::DoNotOptimize(y);
        }
    }
    state.SetItemsProcessed(state.iterations() * 32);  // subbands
}
BENCHMARK(BM_ImdctKernel)->Arg(kScalar)->Arg(kSse)->Arg(kAvx2);

// Decodes random code words of one tree (its index in kHuffmanSources) from the reservoir, with
// the sign bits of the non-zero values, as the big-value and count1 loops do.
void BM_HuffmanDecode(benchmark::State& state) {
    const HuffmanSource& source = kHuffmanSources[state.range(0)];
    const HuffmanTree tree(source);
    std::mt19937 random(5);
    std::vector<uint8_t> bytes;
    uint64_t acc = 0;
    int bits = 0;
    int words = 0;
    auto put = [&](uint32_t value, int n) {
        acc = (acc << n) | value;
        bits += n;
        while (bits >= 8) {
            bytes.push_back(static_cast<uint8_t>(acc >> (bits - 8)));
            bits -= 8;
        }
    };
    while (bytes.size() < 3000) {
        const int v = static_cast<int>(random() % static_cast<uint32_t>(source.count));
        put(source.codes[v], source.lengths[v]);
        const int signs = source.width ? (v / source.width != 0) + (v % source.width != 0)
                                       : __builtin_popcount(static_cast<unsigned>(v));
        put(random() & ((1u << signs) - 1), signs);
        ++words;
    }
    const int64_t end = static_cast<int64_t>(bytes.size()) * 8 - 64;
    for (auto _ : state) {
        BitReservoir reservoir;
        reservoir.append(bytes.data(), bytes.size());
        int sum = 0;
        while (reservoir.bitsRead() < end) {
            int length = 0;
            const int value = tree.decode(reservoir.peek32(), length);
            const int signs = source.width ? ((value >> 4) != 0) + ((value & 15) != 0)
                                           : __builtin_popcount(static_cast<unsigned>(value));
            reservoir.skipBits(length + signs);
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * words);
}
// Trees 0 (table 1), 12 (table 15), 14 (tables 24-31) and 15 (count1 table A).
BENCHMARK(BM_HuffmanDecode)->Arg(0)->Arg(12)->Arg(14)->Arg(15);

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

void BM_DecodeMp3Mpeg2(benchmark::State& state) {
    decodeWhole(state, makeFile("mpeg2-22k-64.mp3", "lame --quiet --resample 22.05 -b 64"));
}
BENCHMARK(BM_DecodeMp3Mpeg2)->Arg(kFloat)->Unit(benchmark::kMillisecond);

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
