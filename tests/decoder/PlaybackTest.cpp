#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include "DecodeSupport.h"
#include "StreamBuilder.h"
#include "core/DecoderSettings.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"
#include "mp3.h"
#include "output/AudioDevice.h"

namespace ombrix::test {
namespace {

using namespace std::chrono_literals;
using mp3::AudioDevice;
using mp3::DecoderSettings;
using mp3::EffectsHooks;
using mp3::PcmFormat;
using mp3::Playback;
using mp3::PlaybackControl;

// A device that completes blocks at once and lets a test look at every write.
class ScriptedDevice final : public AudioDevice {
public:
    std::function<void(int blockNumber)> onWrite;
    bool failOpen = false;
    int writes = 0;
    size_t samples = 0;
    PcmFormat format;

    bool open(const PcmFormat& f) override {
        format = f;
        return !failOpen;
    }
    void write(uint64_t, const int16_t*, size_t count) override {
        samples += count;
        ++writes;
        if (onWrite) onWrite(writes);
    }
    bool stillPlaying(uint64_t) override { return false; }
    void drain(const std::atomic<bool>*) override {}
    void reset() override {}
    int32_t pause() override { return 0; }
    int32_t restart() override { return 0; }
    void setPitch(uint32_t) override {}
    void close() override {}
};

// A 44.1 kHz Layer III stream of silent frames, the frame count known exactly.
std::filesystem::path silentStream(const TempDir& dir, int frames) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < frames; ++i) append(bytes, buildFrame({.layer = 3, .bitrateIndex = 9}));
    const auto path = dir / "silent.mp3";
    writeFile(path, bytes);
    return path;
}

class PlaybackTest : public ::testing::Test {
protected:
    PlaybackTest() {
        settings_.setVolume(32768);
        settings_.bufferFrames = 1;
    }
    Playback::Result play(const std::filesystem::path& file, AudioDevice* device) {
        Playback playback(settings_, control_, EffectsHooks{});
        return playback.run(file.string(), 0, device);
    }
    TempDir dir_;
    DecoderSettings settings_;
    PlaybackControl control_;
};

TEST_F(PlaybackTest, ResultsForMissingFilesFailingDevicesAndWholeSongs) {
    ScriptedDevice device;
    EXPECT_EQ(play(dir_ / "missing.mp3", &device), Playback::kNoFrame);
    writeFile(dir_ / "junk.mp3", std::vector<uint8_t>(5000, 0x42));
    EXPECT_EQ(play(dir_ / "junk.mp3", &device), Playback::kNoFrame);
    EXPECT_EQ(device.writes, 0);

    const auto song = silentStream(dir_, 40);
    device.failOpen = true;
    EXPECT_EQ(play(song, &device), Playback::kDeviceFailed);
    device.failOpen = false;
    EXPECT_EQ(play(song, &device), Playback::kFinished);
    EXPECT_EQ(device.writes, 40);
    EXPECT_EQ(device.samples, 40u * 1152 * 2);
    EXPECT_EQ(device.format.rate, 44100);
    EXPECT_EQ(device.format.channels, 2);
}

TEST_F(PlaybackTest, BlocksCollectFramesAndTheLastPartialBlockIsKept) {
    static std::atomic<int> processed{0};
    processed = 0;
    EffectsHooks hooks;
    hooks.processBlock = [](int16_t*, int32_t count, int channels) {
        EXPECT_EQ(channels, 2);
        EXPECT_EQ(count, 12 * 1152 * 2);  // the engine always sees whole blocks
        ++processed;
    };
    settings_.bufferFrames = 12;
    const auto song = silentStream(dir_, 30);
    ScriptedDevice device;
    Playback playback(settings_, control_, hooks);
    EXPECT_EQ(playback.run(song.string(), 0, &device), Playback::kFinished);
    EXPECT_EQ(processed.load(), 3);
    EXPECT_EQ(device.samples, 30u * 1152 * 2);  // no padding after the last frame

    // Without a device the blocks are still processed.
    processed = 0;
    EXPECT_EQ(playback.run(song.string(), 0, nullptr), Playback::kFinished);
    EXPECT_EQ(processed.load(), 3);
}

TEST_F(PlaybackTest, PositionsMoveInStepsOfSixteenFrames) {
    const auto song = silentStream(dir_, 100);
    ScriptedDevice device;
    std::vector<int32_t> frames, times;
    device.onWrite = [&](int) {
        frames.push_back(settings_.lastRecordedFrame);
        times.push_back(settings_.currentTimeMs);
    };
    ASSERT_EQ(play(song, &device), Playback::kFinished);
    ASSERT_EQ(frames.size(), 100u);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i], static_cast<int32_t>(i / 16 * 16));
        EXPECT_EQ(times[i], static_cast<int32_t>(std::floor(frames[i] * (1152000.0f / 44100))));
    }
    EXPECT_EQ(settings_.totalFrames.load(), static_cast<int32_t>(100 * 417 / 413));
}

TEST_F(PlaybackTest, SeekAndStopRequestsAreServedAtFrameBoundaries) {
    const auto song = silentStream(dir_, 200);
    ScriptedDevice device;
    std::vector<int32_t> frames;
    device.onWrite = [&](int n) {
        frames.push_back(settings_.lastRecordedFrame);
        if (n == 20) control_.requestSeek(150);
        if (n == 40) control_.requestSeek(0);
        if (n == 50) control_.requestStop();
    };
    ASSERT_EQ(play(song, &device), Playback::kFinished);
    EXPECT_EQ(device.writes, 50);
    EXPECT_EQ(frames[19], 16);
    EXPECT_EQ(frames[29], 16);  // frames 150..159 are not multiples of 16
    EXPECT_EQ(frames[30], 160);
    EXPECT_EQ(frames[40], 0);  // back to the start
    // Requests without a playback change nothing.
    PlaybackControl idle;
    idle.requestStop();
    idle.requestSeek(10);
    EXPECT_FALSE(idle.stopRequested);
    EXPECT_FALSE(idle.seekRequested);
}

TEST_F(PlaybackTest, SeekBeyondTheEndEndsThePlayback) {
    const auto song = silentStream(dir_, 60);
    ScriptedDevice device;
    device.onWrite = [&](int n) {
        if (n == 5) control_.requestSeek(100000);
    };
    EXPECT_EQ(play(song, &device), Playback::kFinished);
    EXPECT_EQ(device.writes, 5);
}

// The exported interface drives one process-wide playback on a thread of the caller's.
class ExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeSineWav(dir_ / "s.wav", 44100, 2, 12.0, 440, 550);
        encodeMp3(dir_ / "s.wav", song_, "-b 128");
        OmbrixSelectWaveOut(-1);
        OmbrixSetBufferSize(2);
        OmbrixSetVolume(32768);
    }
    void start() {
        thread_ = std::thread([this] { result_ = OmbrixPlay(song_.c_str(), 0, 0); });
    }
    int32_t finish() {
        thread_.join();
        return result_;
    }
    template <typename Predicate>
    static bool eventually(Predicate p, std::chrono::milliseconds limit = 5000ms) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (p()) return true;
            std::this_thread::sleep_for(10ms);
        }
        return p();
    }
    TempDir dir_;
    std::filesystem::path song_ = dir_ / "s.mp3";
    std::thread thread_;
    std::atomic<int32_t> result_{99};
};

TEST_F(ExportsTest, PlayPauseSeekAndStopFromAnotherThread) {
    EXPECT_GT(OmbrixGetTotalMs(song_.c_str(), 0), 11000);
    start();
    ASSERT_TRUE(eventually([] { return OmbrixGetCurrentTime() >= 800; }));

    OmbrixPause(1);
    std::this_thread::sleep_for(300ms);
    const int32_t paused = OmbrixGetCurrentTime();
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(OmbrixGetCurrentTime(), paused);
    OmbrixPause(0x100);  // only the low byte counts: this resumes
    EXPECT_TRUE(eventually([&] { return OmbrixGetCurrentTime() > paused; }));

    EXPECT_EQ(OmbrixSeek(-100000), 0);
    EXPECT_TRUE(eventually([&] { return OmbrixGetCurrentTime() < paused; }));

    const int32_t middle = OmbrixAbsoluteSeek(0.5f);
    EXPECT_NEAR(middle, 230, 10);
    EXPECT_TRUE(eventually([] { return OmbrixWhere() >= 0.45f; }));

    OmbrixStop();
    EXPECT_EQ(finish(), 1);
}

TEST_F(ExportsTest, MissingFilesAndUnavailableDevices) {
    EXPECT_EQ(OmbrixPlay((dir_ / "none.mp3").c_str(), 0, 0), -1);
    EXPECT_EQ(OmbrixGetTotalMs((dir_ / "none.mp3").c_str(), 0), 0);
    EXPECT_EQ(OmbrixPlay(nullptr, 0, 0), -1);
    OmbrixSelectWaveOut(4096);
    EXPECT_EQ(OmbrixPlay(song_.c_str(), 0, 0), 0);
    OmbrixSelectWaveOut(-1);
    // Decoding without a device runs as fast as it can and ends normally.
    EXPECT_EQ(OmbrixPlay(song_.c_str(), 0, 1), 1);
    // Control calls between songs are harmless.
    OmbrixStop();
    OmbrixPause(1);
    OmbrixSeek(10);
    OmbrixChangePitch(0x20000);
}

}  // namespace
}  // namespace ombrix::test
