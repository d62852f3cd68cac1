// The playback loop against scripted devices, the exported interface, and the control calls
// raced against a running playback (the ThreadSanitizer build runs the Hardening, Exports and
// DecoderSettings suites).
#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

#include "DecodeSupport.h"
#include "core/DecoderSettings.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"
#include "mp3.h"
#include "output/AudioDevice.h"
#include "synthesis/SubbandSynthesizer.h"

namespace ombrix::test {
namespace {

using namespace std::chrono_literals;
using mp3::AudioDevice;
using mp3::DecoderSettings;
using mp3::EffectsHooks;
using mp3::PcmFormat;
using mp3::Playback;
using mp3::PlaybackControl;

// A device with a hardware buffer: a block leaves the queue (and stops being "still playing")
// when it moves into the buffer, and is heard only when the buffer plays out. Every call of
// stillPlaying plays one block's worth into and out of the buffer. A test sees every write.
class TestDevice final : public AudioDevice {
public:
    std::function<void(int writeNumber)> onWrite;
    bool failOpen = false;
    PcmFormat format;
    int writes = 0;
    size_t written = 0, heard = 0, heardAtClose = 0, writtenAtClose = 0;
    bool drained = false, resetCalled = false;

    bool open(const PcmFormat& f) override {
        format = f;
        return !failOpen;
    }
    void write(uint64_t id, const int16_t*, size_t count) override {
        queue_.push_back({id, count});
        written += count;
        ++writes;
        if (onWrite) onWrite(writes);
    }
    bool stillPlaying(uint64_t id) override {
        tick();
        return std::any_of(queue_.begin(), queue_.end(),
                           [&](const Block& b) { return b.id == id; });
    }
    void drain(const std::atomic<bool>*) override {
        drained = true;
        while (!queue_.empty() || buffered_ > 0) tick();
    }
    void reset() override {
        resetCalled = true;
        queue_.clear();
        buffered_ = 0;
    }
    int32_t pause() override { return 0; }
    int32_t restart() override { return 0; }
    void setPitch(uint32_t) override {}
    void close() override {
        heardAtClose = heard;
        writtenAtClose = written;
    }

private:
    struct Block {
        uint64_t id;
        size_t count;
    };
    void tick() {
        heard += buffered_;
        buffered_ = 0;
        if (!queue_.empty()) {
            buffered_ = queue_.front().count;
            queue_.pop_front();
        }
    }
    std::deque<Block> queue_;
    size_t buffered_ = 0;
};

// A Xing frame claiming `claimed` frames of `bytes` bytes with a linear table of contents, then
// `real` silent frames.
std::filesystem::path xingStream(const TempDir& dir, int32_t claimed, int32_t bytes, int real) {
    std::vector<uint8_t> out = buildFrame({});
    BitWriter xing;
    for (char c : std::string("Xing")) xing.put(static_cast<uint8_t>(c), 8);
    xing.put(0x07, 32);  // frames, bytes, table of contents
    xing.put(static_cast<uint32_t>(claimed), 32);
    xing.put(static_cast<uint32_t>(bytes), 32);
    for (int i = 0; i < 100; ++i) xing.put(static_cast<uint32_t>(i * 256 / 100), 8);
    std::copy(xing.bytes().begin(), xing.bytes().end(), out.begin() + 4 + 32);
    append(out, readBytes(silentStream(dir, real)));
    writeFile(dir / "claims.mp3", out);
    return dir / "claims.mp3";
}

class PlaybackTest : public ::testing::Test {
protected:
    PlaybackTest() {
        settings_.setVolume(32768);
        settings_.bufferFrames = 1;
    }
    Playback::Result play(const std::filesystem::path& file, AudioDevice* device,
                          const EffectsHooks& hooks = {}) {
        Playback playback(settings_, control_, hooks);
        return playback.run(file.string(), 0, device);
    }
    TempDir dir_;
    DecoderSettings settings_;
    PlaybackControl control_;
    TestDevice device_;
};
using PlaybackHardeningTest = PlaybackTest;

TEST_F(PlaybackTest, ResultsForMissingFilesFailingDevicesAndWholeSongs) {
    EXPECT_EQ(play(dir_ / "missing.mp3", &device_), Playback::kNoFrame);
    writeFile(dir_ / "junk.mp3", std::vector<uint8_t>(5000, 0x42));
    EXPECT_EQ(play(dir_ / "junk.mp3", &device_), Playback::kNoFrame);
    EXPECT_EQ(device_.writes, 0);

    const auto song = silentStream(dir_, 40);
    device_.failOpen = true;
    EXPECT_EQ(play(song, &device_), Playback::kDeviceFailed);
    device_.failOpen = false;
    EXPECT_EQ(play(song, &device_), Playback::kFinished);
    EXPECT_EQ(device_.writes, 40);
    EXPECT_EQ(device_.written, 40u * 1152 * 2);
    EXPECT_EQ(device_.format.rate, 44100);
    EXPECT_EQ(device_.format.channels, 2);
}

TEST_F(PlaybackTest, BlocksCollectFramesAndTheLastPartialBlockIsKept) {
    static std::atomic<int> processed{0};
    static std::atomic<int64_t> processedSamples{0};
    processed = 0;
    processedSamples = 0;
    EffectsHooks hooks;
    hooks.processBlock = [](int16_t*, int32_t count, int channels) {
        EXPECT_EQ(channels, 2);
        // Whole blocks, and the last one only as far as the song goes: a recording made by
        // the engine holds what is played.
        EXPECT_TRUE(count == 12 * 1152 * 2 || count == 6 * 1152 * 2) << count;
        processedSamples += count;
        ++processed;
    };
    settings_.bufferFrames = 12;
    const auto song = silentStream(dir_, 30);
    EXPECT_EQ(play(song, &device_, hooks), Playback::kFinished);
    EXPECT_EQ(processed.load(), 3);
    EXPECT_EQ(device_.written, 30u * 1152 * 2);  // no padding after the last frame
    EXPECT_EQ(processedSamples.load(), 30 * 1152 * 2);

    // Without a device the blocks are still processed.
    processed = 0;
    processedSamples = 0;
    EXPECT_EQ(play(song, nullptr, hooks), Playback::kFinished);
    EXPECT_EQ(processed.load(), 3);
    EXPECT_EQ(processedSamples.load(), 30 * 1152 * 2);
}

// Positions move in steps of sixteen frames; seeks and stops are served at frame boundaries.
TEST_F(PlaybackTest, PositionsSeeksAndStops) {
    const auto song = silentStream(dir_, 200);
    std::vector<int32_t> frames;
    device_.onWrite = [&](int n) {
        frames.push_back(settings_.lastRecordedFrame);
        EXPECT_EQ(settings_.currentTimeMs,
                  static_cast<int32_t>(std::floor(frames.back() * (1152000.0f / 44100))));
        if (n == 20) control_.requestSeek(150);
        if (n == 40) control_.requestSeek(0);
        if (n == 50) control_.requestStop();
    };
    ASSERT_EQ(play(song, &device_), Playback::kFinished);
    EXPECT_EQ(device_.writes, 50);
    for (size_t i = 0; i < 20; ++i) EXPECT_EQ(frames[i], static_cast<int32_t>(i / 16 * 16));
    EXPECT_EQ(settings_.totalFrames.load(), static_cast<int32_t>(200 * 417 / 413));
    EXPECT_EQ(frames[29], 16);  // frames 150..159 are not multiples of 16
    EXPECT_EQ(frames[30], 160);
    EXPECT_EQ(frames[40], 0);  // back to the start
    // Requests without a playback change nothing.
    PlaybackControl idle;
    idle.requestStop();
    idle.requestSeek(10);
    EXPECT_FALSE(idle.stopRequested);
    EXPECT_FALSE(idle.seekRequested);

    // A seek beyond the end ends the playback.
    device_.writes = 0;
    device_.onWrite = [&](int n) {
        if (n == 5) control_.requestSeek(100000);
    };
    EXPECT_EQ(play(song, &device_), Playback::kFinished);
    EXPECT_EQ(device_.writes, 5);
}

// A synthesis step that stalls while the volume changes many times keeps reading the window it
// started with, unchanged; the next step sees the newest volume.
// The player's own level scales what the device is handed, per side, from the block after a
// change (with one block of ramp between), and leaves the samples untouched at full level.
TEST(StreamLevelTest, LevelScalesEachSideAndFollowsChangesWhilePlaying) {
    const std::string song = bitstream("l3-sin1k0db");
    const DecodedPcm full = decodeFile(song);
    ASSERT_EQ(full.channels, 2);
    ASSERT_GT(full.blocks.size(), 6u);

    DecodeOptions half;
    half.levelLeft = 0x8000;
    half.levelRight = 0;
    const DecodedPcm panned = decodeFile(song, half);
    ASSERT_EQ(panned.samples.size(), full.samples.size());
    int worst = 0;
    for (size_t i = 0; i < full.samples.size(); i += 2) {
        worst = std::max(worst, std::abs(panned.samples[i] - full.samples[i] / 2));
        ASSERT_EQ(panned.samples[i + 1], 0) << "the right side is silenced";
    }
    EXPECT_LE(worst, 1) << "the left side is halved";

    // Silenced after the third block: the fourth ramps down, the fifth on is silent; the
    // first three are the song as decoded.
    DecodeOptions live;
    live.afterBlock = [](mp3::PlaybackControl& control, size_t block) {
        if (block == 3) control.setLevel(0, 0);
    };
    const DecodedPcm faded = decodeFile(song, live);
    size_t offset = 0;
    for (size_t b = 0; b < faded.blocks.size(); ++b) {
        const auto begin = faded.samples.begin() + static_cast<std::ptrdiff_t>(offset);
        const auto end = begin + static_cast<std::ptrdiff_t>(faded.blocks[b]);
        const auto reference = full.samples.begin() + static_cast<std::ptrdiff_t>(offset);
        if (b < 3)
            EXPECT_TRUE(std::equal(begin, end, reference)) << "block " << b;
        else if (b > 3)
            EXPECT_TRUE(std::all_of(begin, end, [](int16_t s) { return s == 0; })) << b;
        offset += faded.blocks[b];
    }
}

TEST(DecoderSettingsTest, VolumeChangesNeverRebuildTheWindowInUse) {
    DecoderSettings settings;
    settings.setVolume(1000);
    const mp3::SynthesisWindow& held = settings.window();
    const mp3::SynthesisWindow copy = held;
    for (int v = 2000; v <= 40000; v += 2000) settings.setVolume(v);
    EXPECT_EQ(held.floats, copy.floats);
    const mp3::SynthesisWindow& now = settings.window();
    EXPECT_NE(&now, &held);
    mp3::SynthesisWindow expected;
    mp3::buildSynthesisWindow(40000, false, expected);
    EXPECT_EQ(now.floats, expected.floats);
}

// Pitch requests outside the DJ control's range are held to it, so the resampler never asks for
// more than twice a block.
TEST(PlaybackControlTest, PitchIsHeldToHalfAndDoubleSpeed) {
    PlaybackControl control;
    control.begin(false);
    control.requestPitch(1);
    EXPECT_EQ(control.pitch.load(), AudioDevice::kMinPitch);
    control.requestPitch(0xFFFFFFFFu);
    EXPECT_EQ(control.pitch.load(), AudioDevice::kMaxPitch);
    control.requestPitch(0x18000);
    EXPECT_EQ(control.pitch.load(), 0x18000u);

    // The device holds the pitch too: a whole block at the slowest rate plays without harm.
    auto device = mp3::createSdlAudioDevice(-1);
    ASSERT_TRUE(device->open(PcmFormat{2, 44100}));
    device->setPitch(1);
    std::vector<int16_t> block(12 * 1152 * 2, 100);
    device->write(1, block.data(), block.size());
    EXPECT_TRUE(device->stillPlaying(1));
    // An open sound device leaves the program's signals alone: SIGTERM still ends it.
    struct sigaction term {};
    ASSERT_EQ(sigaction(SIGTERM, nullptr, &term), 0);
    EXPECT_EQ(term.sa_handler, SIG_DFL);
    device->reset();
    device->close();
    EXPECT_EQ(device->pause(), AudioDevice::kNotOpen);
}

// The end of a song waits for the hardware's buffer: nothing written is dropped at close. A stop
// cuts the sound at once instead.
TEST_F(PlaybackHardeningTest, TheLastBufferIsHeardButAStopCutsAtOnce) {
    settings_.bufferFrames = 2;
    const auto song = silentStream(dir_, 40);
    ASSERT_EQ(play(song, &device_), Playback::kFinished);
    EXPECT_TRUE(device_.drained);
    EXPECT_EQ(device_.writtenAtClose, 40u * 1152 * 2);
    EXPECT_EQ(device_.heardAtClose, device_.writtenAtClose);

    TestDevice stopped;
    stopped.onWrite = [&](int n) {
        if (n == 8) control_.requestStop();
    };
    ASSERT_EQ(play(song, &stopped), Playback::kFinished);
    EXPECT_FALSE(stopped.drained);
    EXPECT_TRUE(stopped.resetCalled);
    EXPECT_LT(stopped.heardAtClose, stopped.writtenAtClose);
}

// A Xing header claiming about 2^31 frames: lengths, positions and seeks near the limits stay
// defined (the sanitizer build checks every float-to-integer conversion).
TEST_F(PlaybackHardeningTest, HugeClaimedFrameCountsAndSeeksStayInRange) {
    const auto song = xingStream(dir_, INT32_MAX - 8, 1 << 30, 300);
    EXPECT_EQ(OmbrixGetTotalMs(song.c_str(), 0), INT32_MAX);
    device_.onWrite = [&](int n) {
        EXPECT_GE(settings_.currentTimeMs.load(), 0);
        EXPECT_LE(settings_.whereFraction.load(), 1.0f);
        if (n == 3) control_.requestSeek(INT32_MAX);
    };
    EXPECT_EQ(play(song, &device_), Playback::kFinished);
    EXPECT_GE(device_.writes, 3);
}

// The exported calls around the same stream: relative and absolute seeks at the limits, and the
// pause result with and without a playback.
TEST_F(PlaybackHardeningTest, ExportsAtTheLimits) {
    const auto song = xingStream(dir_, INT32_MAX - 8, 1 << 30, 400);
    EXPECT_EQ(OmbrixPause(1), PlaybackControl::kNoPlayback);
    OmbrixSelectWaveOut(-1);
    OmbrixSetBufferSize(1);
    OmbrixSetVolume(32768);
    std::atomic<int32_t> result{99};
    std::thread player([&] { result = OmbrixPlay(song.c_str(), 0, 0); });
    while (OmbrixGetCurrentTime() == 0 && result == 99) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(OmbrixPause(1), 0);
    EXPECT_EQ(OmbrixPause(0), 0);
    EXPECT_EQ(OmbrixSeek(INT32_MAX), INT32_MAX);
    EXPECT_EQ(OmbrixAbsoluteSeek(1.0f), INT32_MAX - 8);
    EXPECT_LE(OmbrixWhere(), 1.0f);
    OmbrixStop();
    player.join();
    EXPECT_EQ(result.load(), 1);
}

// Pause and resume from a control thread while short songs end one after another: the device
// closes under the pause calls (the ThreadSanitizer build checks the hand-over).
TEST_F(PlaybackHardeningTest, PausingWhileSongsEndIsSafe) {
    const auto song = silentStream(dir_, 6);
    OmbrixSelectWaveOut(-1);
    OmbrixSetBufferSize(1);
    OmbrixSetVolume(32768);
    std::atomic<bool> done{false};
    std::thread control([&] {
        for (int i = 0; !done; ++i) {
            OmbrixPause(i & 1);
            std::this_thread::yield();
        }
        OmbrixPause(0);
    });
    int finished = 0;
    for (int i = 0; i < 15; ++i) {
        // A paused song resumes when the control thread flips back; a stop ends the last one.
        std::thread stopper([&] {
            std::this_thread::sleep_for(150ms);
            OmbrixStop();
        });
        if (OmbrixPlay(song.c_str(), 0, 0) == 1) ++finished;
        stopper.join();
    }
    done = true;
    control.join();
    EXPECT_EQ(finished, 15);
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
    static bool eventually(const std::function<bool()>& p) {
        const auto end = std::chrono::steady_clock::now() + 5000ms;
        while (std::chrono::steady_clock::now() < end) {
            if (p()) return true;
            std::this_thread::sleep_for(10ms);
        }
        return p();
    }
    TempDir dir_;
    std::filesystem::path song_ = dir_ / "s.mp3";
};

TEST_F(ExportsTest, PlayPauseSeekAndStopFromAnotherThread) {
    EXPECT_GT(OmbrixGetTotalMs(song_.c_str(), 0), 11000);
    std::atomic<int32_t> result{99};
    std::thread player([&] { result = OmbrixPlay(song_.c_str(), 0, 0); });
    ASSERT_TRUE(eventually([] { return OmbrixGetCurrentTime() >= 800; }));

    // That a pause holds the position is HeardPositionTest's, on a clock the test drives.
    EXPECT_EQ(OmbrixPause(1), 0);
    const int32_t paused = OmbrixGetCurrentTime();
    OmbrixPause(0x100);  // only the low byte counts: this resumes
    EXPECT_TRUE(eventually([&] { return OmbrixGetCurrentTime() > paused; }));

    EXPECT_EQ(OmbrixSeek(-100000), 0);
    EXPECT_TRUE(eventually([&] { return OmbrixGetCurrentTime() < paused; }));

    EXPECT_NEAR(OmbrixAbsoluteSeek(0.5f), 230, 10);
    EXPECT_TRUE(eventually([] { return OmbrixWhere() >= 0.45f; }));

    OmbrixStop();
    player.join();
    EXPECT_EQ(result.load(), 1);
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
    // Control calls between songs are harmless: the next song plays normally.
    OmbrixStop();
    OmbrixPause(1);
    OmbrixSeek(10);
    OmbrixChangePitch(0x20000);
    EXPECT_EQ(OmbrixPlay(song_.c_str(), 0, 1), 1);
}

}  // namespace
}  // namespace ombrix::test
