#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <vector>

#include "ombrix/skin/PluginHost.h"

namespace {

const QString kSamples = QStringLiteral(OMBRIX_SAMPLE_PLUGINS);

/// One tick as the screen does it, plus the wait for its answer: the full round trip.
void Tick(benchmark::State& state, ombrix::PluginKind kind, const char* file) {
    ombrix::PluginHost host(kind);
    QString error;
    if (!host.load(kSamples + file, QStringLiteral("/tmp/"), &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    uint8_t wave[2 * 576];
    uint8_t spectrum[2 * 576];
    for (int i = 0; i < 2 * 576; ++i) {
        wave[i] = static_cast<uint8_t>(i * 7);
        spectrum[i] = static_cast<uint8_t>(255 - (i % 576) / 3);
    }
    std::vector<double> us;
    int n = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        ++n;
        host.update(QStringLiteral("Benchmark"), n * 100, n % 2 ? 30000 : 3000, 12000, wave,
                    spectrum);
        if (!host.waitForAnswer(5000)) {
            state.SkipWithError("no answer");
            break;
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        us.push_back(took.count() * 1e6);
    }
    if (us.empty()) return;
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
}

void BackgroundTick(benchmark::State& s) {
    Tick(s, ombrix::PluginKind::Background, "/bg/plasma.so");
}
void FullScreenTick(benchmark::State& s) {
    Tick(s, ombrix::PluginKind::FullScreen, "/full/tunnel.so");
}
void AmpTick(benchmark::State& s) {
    Tick(s, ombrix::PluginKind::Amp, "/amp/bars.so");
}

BENCHMARK(BackgroundTick)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(FullScreenTick)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(AmpTick)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("OMBRIX_PLUGIN_HOST"))
        qputenv("OMBRIX_PLUGIN_HOST", OMBRIX_PLUGIN_HOST_PATH);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
