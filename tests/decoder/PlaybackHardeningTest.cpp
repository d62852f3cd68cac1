#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <deque>
#include <thread>
#include <vector>

#include "DecodeSupport.h"
#include "StreamBuilder.h"
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
using mp3::SynthesisWindow;

std::vector<uint8_t> silentFrames(int frames) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < frames; ++i) append(bytes, buildFrame({.layer = 3, .bitrateIndex = 9}));
    return bytes;
}

// A Xing frame claiming `claimed` frames of `bytes` bytes with a linear table of contents, then
// `real` silent frames.
std::filesystem::path xingStream(const TempDir& dir, int32_t claimed, int32_t bytes, int real) {
    std::vector<uint8_t> out = buildFrame({.layer = 3, .bitrateIndex = 9});
    size_t at = 4 + 32;
    auto put32 = [&](uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) out[at++] = static_cast<uint8_t>(v >> s);
    };
    const uint8_t tag[] = {'X', 'i', 'n', 'g'};
    std::copy(std::begin(tag), std::end(tag), out.begin() + static_cast<std::ptrdiff_t>(at));
    at += 4;
    put32(0x07);  // frames, bytes, table of contents
    put32(static_cast<uint32_t>(claimed));
    put32(static_cast<uint32_t>(bytes));
    for (int i = 0; i < 100; ++i) out[at++] = static_cast<uint8_t>(i * 256 / 100);
    append(out, silentFrames(real));
    const auto path = dir / "claims.mp3";
    writeFile(path, out);
    return path;
}

// A device with a hardware buffer: a block leaves the queue (and stops being "still playing")
// when it moves into the buffer, and is heard only when the buffer plays out. Every call of
// stillPlaying plays one block's worth into and out of the buffer.
class BufferedDevice final : public AudioDevice {
public:
    size_t written = 0;
    size_t heard = 0;
    size_t heardAtClose = 0;
    size_t writtenAtClose = 0;
    bool drained = false;
    bool resetCalled = false;
    PlaybackControl* stopOnWrite = nullptr;
    int stopAfter = 0;

    bool open(const PcmFormat&) override { return true; }
    void write(uint64_t id, const int16_t*, size_t count) override {
        queue_.push_back({id, count});
        written += count;
        if (stopOnWrite && ++writes_ == stopAfter) stopOnWrite->requestStop();
    }
    bool stillPlaying(uint64_t id) override {
        tick();
        for (const auto& b : queue_)
            if (b.id == id) return true;
        return false;
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
    int writes_ = 0;
};

}  // namespace

// A synthesis step that stalls while the volume changes many times keeps reading the window it
// started with, unchanged; the next step sees the newest volume.
TEST(DecoderSettingsTest, VolumeChangesNeverRebuildTheWindowInUse) {
    DecoderSettings settings;
    settings.setVolume(1000);
    const SynthesisWindow& held = settings.window();
    const SynthesisWindow copy = held;
    for (int v = 2000; v <= 40000; v += 2000) settings.setVolume(v);
    EXPECT_EQ(held.floats, copy.floats);
    const SynthesisWindow& now = settings.window();
    EXPECT_NE(&now, &held);
    SynthesisWindow expected;
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
TEST(PlaybackHardeningTest, TheLastBufferIsHeardButAStopCutsAtOnce) {
    TempDir dir;
    const auto song = dir / "song.mp3";
    writeFile(song, silentFrames(40));
    DecoderSettings settings;
    settings.setVolume(32768);
    settings.bufferFrames = 2;
    PlaybackControl control;
    Playback playback(settings, control, EffectsHooks{});

    BufferedDevice ended;
    ASSERT_EQ(playback.run(song.string(), 0, &ended), Playback::kFinished);
    EXPECT_TRUE(ended.drained);
    EXPECT_EQ(ended.writtenAtClose, 40u * 1152 * 2);
    EXPECT_EQ(ended.heardAtClose, ended.writtenAtClose);

    BufferedDevice stopped;
    stopped.stopOnWrite = &control;
    stopped.stopAfter = 8;
    ASSERT_EQ(playback.run(song.string(), 0, &stopped), Playback::kFinished);
    EXPECT_FALSE(stopped.drained);
    EXPECT_TRUE(stopped.resetCalled);
    EXPECT_LT(stopped.heardAtClose, stopped.writtenAtClose);
}

// A Xing header claiming about 2^31 frames: lengths, positions and seeks near the limits stay
// defined (the sanitizer build checks every float-to-integer conversion).
TEST(PlaybackHardeningTest, HugeClaimedFrameCountsAndSeeksStayInRange) {
    TempDir dir;
    const auto song = xingStream(dir, INT32_MAX - 8, 1 << 30, 300);
    EXPECT_EQ(OmbrixGetTotalMs(song.c_str(), 0), INT32_MAX);

    DecoderSettings settings;
    settings.setVolume(32768);
    settings.bufferFrames = 1;
    PlaybackControl control;
    Playback playback(settings, control, EffectsHooks{});
    BufferedDevice device;
    int writes = 0;
    struct Seeker final : AudioDevice {
        BufferedDevice& inner;
        PlaybackControl& control;
        DecoderSettings& settings;
        int& writes;
        Seeker(BufferedDevice& d, PlaybackControl& c, DecoderSettings& s, int& w)
            : inner(d), control(c), settings(s), writes(w) {}
        bool open(const PcmFormat& f) override { return inner.open(f); }
        void write(uint64_t id, const int16_t* s, size_t n) override {
            inner.write(id, s, n);
            EXPECT_GE(settings.currentTimeMs.load(), 0);
            EXPECT_LE(settings.whereFraction.load(), 1.0f);
            if (++writes == 3) control.requestSeek(INT32_MAX);
        }
        bool stillPlaying(uint64_t id) override { return inner.stillPlaying(id); }
        void drain(const std::atomic<bool>* a) override { inner.drain(a); }
        void reset() override { inner.reset(); }
        int32_t pause() override { return 0; }
        int32_t restart() override { return 0; }
        void setPitch(uint32_t) override {}
        void close() override { inner.close(); }
    } seeker(device, control, settings, writes);
    EXPECT_EQ(playback.run(song.string(), 0, &seeker), Playback::kFinished);
    EXPECT_GE(writes, 3);
}

// The exported calls around the same stream: relative and absolute seeks at the limits, and the
// pause result with and without a playback.
TEST(PlaybackHardeningTest, ExportsAtTheLimits) {
    TempDir dir;
    const auto song = xingStream(dir, INT32_MAX - 8, 1 << 30, 400);
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
TEST(PlaybackHardeningTest, PausingWhileSongsEndIsSafe) {
    TempDir dir;
    const auto song = dir / "short.mp3";
    writeFile(song, silentFrames(6));
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

}  // namespace ombrix::test
