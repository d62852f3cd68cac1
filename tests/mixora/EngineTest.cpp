// The engine as a whole: bypass, the display data, pads and recording through the C exports,
// and setters hammered while another thread processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "MixoraEngine.h"
#include "TestSupport.h"
#include "mixora.h"

using mixora::MixoraEngine;
using mixora::test::TempDir;

namespace {

constexpr int kRate = 44100;
constexpr int kBlockFrames = 1152;

std::vector<int16_t> noiseBlock(std::mt19937& rng, int frames, int channels = 2) {
    std::uniform_int_distribution<int> d(-20000, 20000);
    std::vector<int16_t> out(static_cast<size_t>(frames) * channels);
    for (auto& s : out) s = static_cast<int16_t>(d(rng));
    return out;
}

void turnEverythingOn(MixoraEngine& e) {
    e.enableFx(true);
    e.enableReverb(true);
    e.setReverbScale(20000);
    e.setReverbDecay(3000);
    e.enableDelay(true);
    e.setDelayTime(120);
    e.setDelayScale(12000);
    e.setDelayFeed(12000);
    e.enableSurround(true);
    e.cancelVocal(true);
}

}  // namespace

// Whether a block of noise comes out of the engine exactly as it went in.
bool passesUnchanged(MixoraEngine& engine, std::mt19937& rng, int channels = 2) {
    auto block = noiseBlock(rng, kBlockFrames, channels);
    const auto copy = block;
    engine.process(block.data(), kBlockFrames, channels);
    return block == copy;
}

TEST(EngineTest, BlocksPassBitIdenticalUntilEffectsAreOnAndSwitchingFades) {
    MixoraEngine engine;
    std::mt19937 rng(1);
    EXPECT_TRUE(passesUnchanged(engine, rng));  // effects start off
    engine.enableFx(true);
    EXPECT_TRUE(passesUnchanged(engine, rng));  // every effect off: the float path is exact
    turnEverythingOn(engine);
    bool changed = false;
    for (int i = 0; i < 10; ++i) changed = !passesUnchanged(engine, rng);
    EXPECT_TRUE(changed);
    // Bypass fades out within a block; from then on every block is left exactly as it came,
    // mono blocks too.
    engine.enableFx(false);
    passesUnchanged(engine, rng);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(passesUnchanged(engine, rng));
        EXPECT_TRUE(passesUnchanged(engine, rng, 1));
    }
    // Switching on again fades in: the start of a quiet block stays close to the input.
    engine.enableFx(true);
    std::vector<int16_t> block(kBlockFrames * 2, 1000);
    engine.process(block.data(), kBlockFrames, 2);
    EXPECT_NEAR(block[0], 1000, 20);
    EXPECT_NEAR(block[1], 1000, 20);
}

TEST(EngineTest, SaturatesInsteadOfWrapping) {
    MixoraEngine engine;
    turnEverythingOn(engine);
    engine.cancelVocal(false);
    engine.setDelayScale(32767);
    engine.setDelayFeed(32767);
    engine.setDelayTime(1);
    std::vector<int16_t> block(kBlockFrames * 2, 32000);
    for (int i = 0; i < 20; ++i) {
        std::fill(block.begin(), block.end(), int16_t{32000});
        engine.process(block.data(), kBlockFrames, 2);
    }
    // Loud and positive everywhere: a wrap-around would show as large negative values.
    EXPECT_GT(*std::min_element(block.begin(), block.end()), 0);
    EXPECT_EQ(*std::max_element(block.begin(), block.end()), 32767);
}

// The display data of the engine's blocks: levels, the newest samples and a spectrum per
// channel (the meter and the analyser have tests of their own); a mono block counts for both
// channels.
TEST(EngineTest, LevelsWaveformAndSpectrumOfKnownSines) {
    MixoraEngine engine;
    // Left 1 kHz at half scale, right 5 kHz at full scale.
    std::vector<int16_t> block(2 * 4096);
    for (int i = 0; i < 4096; ++i) {
        block[2 * i] =
            static_cast<int16_t>(std::lround(16384 * std::sin(2 * M_PI * 1000 * i / kRate)));
        block[2 * i + 1] =
            static_cast<int16_t>(std::lround(32767 * std::sin(2 * M_PI * 5000 * i / kRate)));
    }
    auto processed = block;
    engine.process(processed.data(), 4096, 2);

    float left = 0, right = 0;
    std::vector<uint8_t> wave(2 * 576), spectrum(2 * 576);
    engine.getVisualization(&left, &right, wave.data(), spectrum.data());
    EXPECT_NEAR(left / 256.0f, 16384.0f, 40.0f);
    EXPECT_NEAR(right / 256.0f, 32767.0f, 3.0f);
    // Waveform: the newest 576 samples per channel, signed 8-bit.
    for (int i = 0; i < 576; ++i) {
        const size_t frame = 4096 - 576 + i;
        EXPECT_EQ(static_cast<int8_t>(wave[i]), block[frame * 2] >> 8);
        EXPECT_EQ(static_cast<int8_t>(wave[576 + i]), block[frame * 2 + 1] >> 8);
    }
    // Spectrum: one per channel, each peaking at its own sine (bin = f / (rate / 2) * 576).
    EXPECT_NEAR(std::max_element(spectrum.begin(), spectrum.begin() + 576) - spectrum.begin(),
                1000 / 22050.0 * 576, 1.0);
    EXPECT_NEAR(std::max_element(spectrum.begin() + 576, spectrum.end()) - spectrum.begin() - 576,
                5000 / 22050.0 * 576, 1.0);
    engine.getVisualization(&left, nullptr, nullptr, nullptr);  // null buffers are allowed

    engine.clearVisualization();
    engine.getVisualization(&left, &right, wave.data(), spectrum.data());
    EXPECT_EQ(left, 0.0f);
    EXPECT_EQ(right, 0.0f);
    EXPECT_TRUE(std::all_of(wave.begin(), wave.end(), [](uint8_t v) { return v == 0; }));
    EXPECT_TRUE(std::all_of(spectrum.begin(), spectrum.end(), [](uint8_t v) { return v == 0; }));

    std::vector<int16_t> mono(4096, -2000);
    engine.process(mono.data(), 4096, 1);
    engine.getVisualization(&left, &right, nullptr, nullptr);
    EXPECT_EQ(left, 2000.0f * 256.0f);
    EXPECT_EQ(right, 2000.0f * 256.0f);
}

TEST(EngineTest, PadsAreMixedIntoPassingBlocks) {
    TempDir dir;
    const std::string wav = dir.file("pad.wav");
    mixora::test::writeFile(wav,
                            mixora::test::makeWav(kRate, 1, 16, std::vector<int32_t>(1000, 8000)));

    MixoraEngine engine;
    engine.enableFx(true);
    std::vector<int16_t> block(kBlockFrames * 2, 0);
    engine.process(block.data(), kBlockFrames, 2);  // lets the switch-on fade finish
    EXPECT_FALSE(engine.loadSample(8, wav));
    EXPECT_FALSE(engine.loadSample(-1, wav));
    EXPECT_FALSE(engine.loadSample(0, dir.file("missing.wav")));
    ASSERT_TRUE(engine.loadSample(3, wav));
    engine.setSamplePan(3, -32768);
    engine.playSample(3);

    engine.process(block.data(), kBlockFrames, 2);
    EXPECT_NEAR(block[0], 8000, 2);
    EXPECT_EQ(block[1], 0);
    EXPECT_NEAR(block[999 * 2], 8000, 2);
    EXPECT_EQ(block[1001 * 2], 0);  // not looping: over after 1000 frames

    // A pad loaded while another sound was loaded replaces it; a failed load keeps it.
    EXPECT_FALSE(engine.loadSample(3, dir.file("missing.wav")));
    engine.playSample(3);
    std::fill(block.begin(), block.end(), int16_t{0});
    engine.process(block.data(), kBlockFrames, 2);
    EXPECT_NEAR(block[0], 8000, 2);
}

TEST(EngineTest, RecordingWritesTheProcessedBlocksWithAValidHeader) {
    TempDir dir;
    const std::string path = dir.file("out.wav");
    MixoraEngine engine;
    engine.setSampleRate(48000);
    ASSERT_TRUE(engine.startRecording(path));
    std::mt19937 rng(3);
    std::vector<int16_t> all;
    for (int i = 0; i < 7; ++i) {
        auto block = noiseBlock(rng, kBlockFrames);
        engine.process(block.data(), kBlockFrames, 2);
        all.insert(all.end(), block.begin(), block.end());
    }
    engine.stopRecording();
    auto after = noiseBlock(rng, kBlockFrames);  // not recorded any more
    engine.process(after.data(), kBlockFrames, 2);

    const auto bytes = mixora::test::readFile(path);
    mixora::test::expectWavHeader(bytes, 2, 48000, all.size() * 2);
    EXPECT_EQ(mixora::test::wavSamples(bytes), all);
    EXPECT_FALSE(engine.startRecording(dir.file("no/such/folder/out.wav")));
}

TEST(ExportsTest, RecordingCutOffWithoutStopIsStillAReadableWav) {
    TempDir dir;
    const std::string path = dir.file("cut.wav");
    // The child records and dies without XMStopRecording or XMDestroy.
    EXPECT_EXIT(
        {
            XMInit();
            XMSetSampleRate(22050);
            if (XMStartRecording(path.c_str()) != 1) _exit(2);
            std::vector<int16_t> block(1000, 1234);
            for (int i = 0; i < 5; ++i) shortMono(block.data(), 1000, 0);
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    const auto bytes = mixora::test::readFile(path);
    mixora::test::expectWavHeader(bytes, 1, 22050, 5000 * 2);
    EXPECT_EQ(mixora::test::wavSamples(bytes).back(), 1234);
}

TEST(ExportsTest, CInterfaceHandlesBadArgumentsAndKeepsSettingsAcrossInit) {
    TempDir dir;
    XMInit();
    EXPECT_EQ(XMLoadSample(0, nullptr), 0);
    EXPECT_EQ(XMLoadSample(9, "/nonexistent.wav"), 0);
    EXPECT_EQ(XMStartRecording(nullptr), 0);
    EXPECT_EQ(XMStartRecording(""), 0);
    EXPECT_STREQ(ResolveLink(nullptr), "");
    EXPECT_STREQ(ResolveLink("/no/such/file.lnk"), "");
    EXPECT_EQ(shortStereo(nullptr, 0, 0), 0);
    XMGetVisualization(nullptr, nullptr, nullptr, nullptr);

    // Effects switched on stay on across XMInit (a new song), and so does a recording.
    const std::string path = dir.file("rec.wav");
    XMSetSampleRate(kRate);
    XMEnableFX(1);
    XMEnableDelay();
    XMSetDelayTime(10);
    XMSetDelayScale(32767);
    XMSetDelayFeed(0);
    ASSERT_EQ(XMStartRecording(path.c_str()), 1);
    std::vector<int16_t> block(2000, 0);
    shortStereo(block.data(), 2000, 0);  // settles the fade-in
    XMInit();
    std::fill(block.begin(), block.end(), int16_t{0});
    block[0] = block[1] = 10000;
    shortStereo(block.data(), 2000, 0);
    const int echo = kRate / 100;
    EXPECT_NEAR(block[echo * 2], 10000, 2);
    XMStopRecording();
    EXPECT_EQ(mixora::test::readFile(path).size(), 44u + 2 * 2000 * 2);

    // XMDestroy restores the defaults: effects off, blocks untouched.
    XMDestroy();
    std::fill(block.begin(), block.end(), int16_t{0});
    block[0] = block[1] = 10000;
    shortStereo(block.data(), 2000, 0);
    EXPECT_EQ(block[echo * 2], 0);
}

TEST(ExportsTest, SettersHammeredWhileAnotherThreadProcesses) {
    TempDir dir;
    const std::string wav = dir.file("pad.wav");
    mixora::test::writeFile(wav,
                            mixora::test::makeWav(22050, 2, 16, std::vector<int32_t>(4000, 3000)));
    XMInit();
    XMSetSampleRate(kRate);

    std::atomic<bool> done{false};
    std::thread audio([&] {
        std::mt19937 rng(5);
        while (!done.load()) {
            auto block = noiseBlock(rng, 576);
            shortStereo(block.data(), static_cast<int32_t>(block.size()), 0);
            auto mono = noiseBlock(rng, 576, 1);
            shortMono(mono.data(), static_cast<int32_t>(mono.size()), 0);
        }
    });
    std::thread display([&] {
        std::vector<uint8_t> wave(1152), spectrum(1152);
        float l, r;
        while (!done.load()) {
            XMGetVisualization(&l, &r, wave.data(), spectrum.data());
            XMClearVisualization();
        }
    });
    std::mt19937 rng(9);
    std::uniform_int_distribution<int32_t> any(-40000, 40000);
    for (int i = 0; i < 2000; ++i) {
        XMEnableFX(i % 7 != 0);
        (i % 3 ? XMEnableReverb : XMDisableReverb)();
        (i % 5 ? XMEnableDelay : XMDisableDelay)();
        XMSetReverbDelay(any(rng));
        XMSetReverbScale(any(rng));
        XMSetReverbDecay(any(rng));
        XMSetDelayTime(any(rng));
        XMSetDelayScale(any(rng));
        XMSetDelayPan(any(rng));
        XMSetDelayFeed(any(rng));
        XMEnableSurround(i % 2);
        XMCancelVocal(i % 4 == 1);
        if (i % 11 == 0) {
            static constexpr int32_t kRates[] = {22050, 192000, 4000, 0, -5, 1000000, 8000};
            XMSetSampleRate(kRates[(i / 11) % 7]);
        } else if (i % 11 == 5) {
            XMSetSampleRate(kRate);
        }
        const int pad = i % 8;
        if (i % 50 == 0) {
            EXPECT_EQ(XMLoadSample(pad, wav.c_str()), 1);
        }
        XMPlaySample(pad);
        XMSetSampleLoop(pad, i % 2);
        XMSetSamplePan(pad, any(rng));
        XMSetSampleVolume(pad, any(rng));
        if (i % 9 == 0) XMStopSample(pad);
        if (i % 200 == 0) XMStartRecording(dir.file("t" + std::to_string(i % 3) + ".wav").c_str());
        if (i % 200 == 100) XMStopRecording();
        XMEnableVisualization(i % 13 ? 20 : 0);
        std::this_thread::yield();
    }
    done.store(true);
    audio.join();
    display.join();
    XMDestroy();
}
