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
using mixora::test::stereoSine;
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

TEST(EngineTest, BlocksPassBitIdenticalUntilEffectsAreOnAndAfterBypass) {
    MixoraEngine engine;
    std::mt19937 rng(1);

    // Effects start off: nothing changes.
    auto block = noiseBlock(rng, kBlockFrames);
    auto copy = block;
    engine.process(block.data(), kBlockFrames, 2);
    EXPECT_EQ(block, copy);

    // Enable FX with every effect off: still identical (the float path is exact).
    engine.enableFx(true);
    block = noiseBlock(rng, kBlockFrames);
    copy = block;
    engine.process(block.data(), kBlockFrames, 2);
    EXPECT_EQ(block, copy);

    turnEverythingOn(engine);
    for (int i = 0; i < 10; ++i) {
        block = noiseBlock(rng, kBlockFrames);
        copy = block;
        engine.process(block.data(), kBlockFrames, 2);
    }
    EXPECT_NE(block, copy);

    // Bypass fades out within a block; from then on every block is left exactly as it came,
    // mono blocks too.
    engine.enableFx(false);
    block = noiseBlock(rng, kBlockFrames);
    engine.process(block.data(), kBlockFrames, 2);
    for (int i = 0; i < 5; ++i) {
        block = noiseBlock(rng, kBlockFrames);
        copy = block;
        engine.process(block.data(), kBlockFrames, 2);
        EXPECT_EQ(block, copy);
        auto mono = noiseBlock(rng, kBlockFrames, 1);
        const auto monoCopy = mono;
        engine.process(mono.data(), kBlockFrames, 1);
        EXPECT_EQ(mono, monoCopy);
    }
}

TEST(EngineTest, SwitchingFxOnFadesInWithoutAJump) {
    MixoraEngine engine;
    turnEverythingOn(engine);
    engine.enableFx(false);
    engine.enableFx(true);
    // A quiet block: the start of the block must stay close to the input.
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

TEST(EngineTest, LevelsWaveformAndSpectrumOfKnownSines) {
    MixoraEngine engine;
    // Left 1 kHz at half scale, right 5 kHz at full scale.
    const auto block = stereoSine(4096, kRate, 1000.0, 16384.0, 5000.0, 32767.0);
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

    // Spectrum: bin = f / (rate / 2) * 576.
    auto peakBin = [&](int channel) {
        const auto begin = spectrum.begin() + channel * 576;
        return static_cast<int>(std::max_element(begin, begin + 576) - begin);
    };
    EXPECT_NEAR(peakBin(0), 1000.0 / 22050.0 * 576, 1.0);
    EXPECT_NEAR(peakBin(1), 5000.0 / 22050.0 * 576, 1.0);
    EXPECT_GE(spectrum[576 + peakBin(1)], 245);  // full scale near the top
    EXPECT_LT(spectrum[576 + 400], 60);          // far from the tone: low
    EXPECT_GT(spectrum[peakBin(0)], spectrum[576 + 400]);

    // Null buffers are allowed.
    engine.getVisualization(&left, nullptr, nullptr, nullptr);

    engine.clearVisualization();
    engine.getVisualization(&left, &right, wave.data(), spectrum.data());
    EXPECT_EQ(left, 0.0f);
    EXPECT_EQ(right, 0.0f);
    EXPECT_TRUE(std::all_of(wave.begin(), wave.end(), [](uint8_t v) { return v == 0; }));
    EXPECT_TRUE(std::all_of(spectrum.begin(), spectrum.end(), [](uint8_t v) { return v == 0; }));
}

TEST(EngineTest, LevelsFollowOnlyTheNewestFiftyMilliseconds) {
    MixoraEngine engine;
    auto loud = stereoSine(kRate / 10, kRate, 440.0, 30000.0, 440.0, 30000.0);
    engine.process(loud.data(), kRate / 10, 2);
    std::vector<int16_t> quiet(static_cast<size_t>(kRate) / 20 * 2 + 2, 100);  // 50 ms + 1 frame
    engine.process(quiet.data(), static_cast<int>(quiet.size() / 2), 2);
    float left = 0, right = 0;
    engine.getVisualization(&left, &right, nullptr, nullptr);
    EXPECT_EQ(left, 100.0f * 256.0f);
    EXPECT_EQ(right, 100.0f * 256.0f);

    // A mono block counts for both channels.
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
    ASSERT_EQ(bytes.size(), 44 + all.size() * 2);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(mixora::test::get32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(mixora::test::get16(bytes, 20), 1);       // PCM
    EXPECT_EQ(mixora::test::get16(bytes, 22), 2);       // channels
    EXPECT_EQ(mixora::test::get32(bytes, 24), 48000u);  // rate
    EXPECT_EQ(mixora::test::get32(bytes, 28), 48000u * 4);
    EXPECT_EQ(mixora::test::get16(bytes, 32), 4);
    EXPECT_EQ(mixora::test::get16(bytes, 34), 16);
    EXPECT_EQ(mixora::test::get32(bytes, 40), all.size() * 2);
    for (size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(static_cast<int16_t>(mixora::test::get16(bytes, 44 + 2 * i)), all[i]) << i;

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
    ASSERT_EQ(bytes.size(), 44u + 5000 * 2);
    EXPECT_EQ(mixora::test::get32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(mixora::test::get16(bytes, 22), 1);
    EXPECT_EQ(mixora::test::get32(bytes, 24), 22050u);
    EXPECT_EQ(mixora::test::get32(bytes, 40), 10000u);
    EXPECT_EQ(static_cast<int16_t>(mixora::test::get16(bytes, 44 + 9998)), 1234);
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
