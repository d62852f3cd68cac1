#include <benchmark/benchmark.h>

#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <vector>

#include "ombrix/skin/BumpBackground.h"
#include "ombrix/skin/PanelCommands.h"
#include "ombrix/skin/PanelPresenter.h"

namespace {

const QString kSkin = QStringLiteral(OMBRIX_SKIN_DIR);

ombrix::PlayerState playing() {
    ombrix::PlayerState s;
    s.playing = s.songOpen = true;
    s.count = 40;
    s.line1 = QStringLiteral("A title much too long for the screen, so that it scrolls along");
    s.line2 = QStringLiteral("An artist - an album");
    s.line3 = QStringLiteral("1 : 23");
    s.position = 300;
    return s;
}

void prepare(ombrix::PanelPresenter& panel, const QString& path) {
    panel.apply(path);
    panel.screen().setDefaultBackground(QImage(kSkin + "/resource/bg.bmp"));
    QFile raw(kSkin + "/resource/bumpl.raw");
    if (raw.open(QIODevice::ReadOnly)) panel.screen().setPauseMask(raw.readAll());
}

// The default panel playing a song, past the slide-in (the long title scrolls).
void startPlaying(ombrix::PanelPresenter& panel, bool bump) {
    ombrix::PanelPresenter::Options o;
    o.screen.font.setPixelSize(13);
    panel.setOptions(o);
    prepare(panel, kSkin + "/panel/default.bmp");
    if (bump) panel.screen().useBumpBackground({});
    panel.setState(playing());
    for (int i = 0; i < 60; ++i) panel.tick(0, 0, true);
}

void ScreenTick(benchmark::State& state) {
    ombrix::PanelCommands commands;
    ombrix::PanelPresenter panel(commands);
    startPlaying(panel, false);
    double level = 0;
    for (auto _ : state) {
        level = level > 30000 ? 0 : level + 997;
        panel.tick(level, 32767 - level, true);
        benchmark::DoNotOptimize(panel.screen().composed().constBits());
    }
}
BENCHMARK(ScreenTick)->Unit(benchmark::kMicrosecond);

// One frame of the bump background over the default picture's relief.
void BumpFrame(benchmark::State& state) {
    const QImage bg(kSkin + "/resource/bg.bmp");
    std::vector<uint8_t> heights(ombrix::BumpBackground::kPixels, 0);
    if (bg.format() == QImage::Format_Indexed8)
        for (int y = 0; y < std::min(80, bg.height()); ++y)
            std::copy_n(bg.constScanLine(y), std::min(220, bg.width()),
                        heights.data() + size_t(79 - y) * 220);
    std::vector<uint8_t> frame(ombrix::BumpBackground::kPixels);
    ombrix::BumpBackground bump;
    for (auto _ : state) {
        bump.drawFrame(heights.data(), 0, frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BumpFrame)->Unit(benchmark::kMicrosecond);

// The whole screen tick with the bump background (frame, bar, text, colours).
void BumpScreenTick(benchmark::State& state) {
    ombrix::PanelCommands commands;
    ombrix::PanelPresenter panel(commands);
    startPlaying(panel, true);
    for (auto _ : state) {
        panel.tick(1000, 1000, true);
        benchmark::DoNotOptimize(panel.screen().composed().constBits());
    }
}
BENCHMARK(BumpScreenTick)->Unit(benchmark::kMicrosecond);

void LcdTitleTick(benchmark::State& state) {
    ombrix::PanelCommands commands;
    ombrix::PanelPresenter panel(commands);
    prepare(panel, kSkin + "/coolbar/default.bmp");
    panel.setState(playing());
    double level = 0;
    for (auto _ : state) {
        level = level > 30000 ? 0 : level + 997;
        panel.tick(level, level, true);
        benchmark::DoNotOptimize(panel.dpblcdtitle().image().constBits());
    }
}
BENCHMARK(LcdTitleTick)->Unit(benchmark::kMicrosecond);

void PanelApply(benchmark::State& state) {
    ombrix::PanelCommands commands;
    ombrix::PanelPresenter panel(commands);
    for (auto _ : state) {
        panel.apply(kSkin + "/panel/default.bmp");
        benchmark::DoNotOptimize(panel.panel().windowRegion().rectCount());
    }
}
BENCHMARK(PanelApply)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
