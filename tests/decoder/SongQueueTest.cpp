// Songs queued on a running playback follow the current one on the same stream: one device
// opened once, the pieces' samples back to back, and the song heard counted as the device plays
// it, never before.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "DecodeSupport.h"
#include "GaplessSupport.h"
#include "core/DecoderSettings.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"
#include "core/SongSource.h"
#include "mp3.h"
#include "output/AudioDevice.h"

namespace ombrix::test {
namespace {

using namespace ombrix::mp3;

// Takes every block at once and says that the last `latency` frames written are still to be
// heard, as a device holding that much would.
class LaggingDevice final : public AudioDevice {
public:
    explicit LaggingDevice(int64_t latency) : latency_(latency) {}
    std::function<void(int64_t framesBefore)> onWrite;
    std::vector<int16_t> samples;
    PcmFormat format;
    int opens = 0, closes = 0;

    bool open(const PcmFormat& f) override {
        format = f;
        ++opens;
        return true;
    }
    void write(uint64_t, const int16_t* s, size_t count) override {
        const int64_t before = static_cast<int64_t>(samples.size()) / format.channels;
        samples.insert(samples.end(), s, s + count);
        if (onWrite) onWrite(before);
    }
    bool stillPlaying(uint64_t) override { return false; }
    int64_t unheardFrames() noexcept override {
        return std::min<int64_t>(latency_, static_cast<int64_t>(samples.size()) / 2);
    }
    void drain(const std::atomic<bool>*) override { latency_ = 0; }
    void reset() override {}
    int32_t pause() override { return 0; }
    int32_t restart() override { return 0; }
    void setPitch(uint32_t) override {}
    void close() override { ++closes; }

private:
    int64_t latency_;
};

class SongQueueTest : public ::testing::Test {
protected:
    SongQueueTest() {
        settings_.setVolume(32768);
        settings_.bufferFrames = 2;
        const size_t frames = piece_.size() / 2;
        cuts_ = {0, 50001, 121333, frames};
        for (size_t i = 0; i + 1 < cuts_.size(); ++i) {
            const std::vector<int16_t> part(
                piece_.begin() + static_cast<std::ptrdiff_t>(2 * cuts_[i]),
                piece_.begin() + static_cast<std::ptrdiff_t>(2 * cuts_[i + 1]));
            const auto name = "part" + std::to_string(i);
            writeWav(dir_ / (name + ".wav"), 44100, 2, part);
            encodeMp3(dir_ / (name + ".wav"), dir_ / (name + ".mp3"), "-V 2");
            parts_.push_back((dir_ / (name + ".mp3")).string());
        }
    }
    Playback::Result play(AudioDevice& device) {
        Playback playback(settings_, control_, EffectsHooks{});
        return playback.run(parts_[0], 0, &device);
    }
    PlaybackControl::QueueResult queue(const std::string& file) {
        return control_.queueNext(SongSource::open(file, 0));
    }

    TempDir dir_;
    const std::vector<int16_t> piece_ = musicPiece(44100, 4.0);
    std::vector<size_t> cuts_;
    std::vector<std::string> parts_;
    DecoderSettings settings_;
    PlaybackControl control_;
};

TEST_F(SongQueueTest, QueuedSongsFollowOnTheSameStreamAndAreHeardInTurn) {
    constexpr int64_t kLatency = 8000;
    LaggingDevice device(kLatency);
    size_t queued = 1;
    int32_t earliest = 0;  // songs that the device can have begun to play, at most
    device.onWrite = [&](int64_t before) {
        // The next piece goes in while the current one plays, as the player would do it.
        if (queued < parts_.size() && before >= static_cast<int64_t>(cuts_[queued]) - 30000) {
            EXPECT_EQ(queue(parts_[queued]), PlaybackControl::QueueResult::kQueued);
            ++queued;
        }
        const int64_t heard = before - kLatency;
        while (earliest + 1 < static_cast<int32_t>(cuts_.size()) - 1 &&
               heard >= static_cast<int64_t>(cuts_[static_cast<size_t>(earliest) + 1]))
            ++earliest;
        EXPECT_LE(settings_.songNumber.load(), earliest) << "a song counts once it is heard";
    };
    ASSERT_EQ(play(device), Playback::kFinished);
    EXPECT_EQ(queued, parts_.size());
    EXPECT_EQ(device.opens, 1);
    EXPECT_EQ(device.closes, 1);
    EXPECT_EQ(settings_.songNumber.load(), 2) << "the last song was heard";

    ASSERT_EQ(device.samples.size(), piece_.size()) << "no gap and no extra samples";
    EXPECT_EQ(align(device.samples, piece_, 0, 16).lag, 0);
    EXPECT_LT(align(device.samples, piece_, 0, 0).relativeError, 0.08);
}

// A queued song brings its own gain, which starts exactly at its first sample: the song
// before it is untouched, and every sample of the song is scaled.
TEST_F(SongQueueTest, AQueuedSongsGainStartsAtItsFirstSample) {
    const auto run = [&](float gain) {
        LaggingDevice device(0);
        bool queued = false;
        device.onWrite = [&](int64_t) {
            if (queued) return;
            std::unique_ptr<SongSource> next = SongSource::open(parts_[1], 0);
            next->setGain(gain);
            queued = control_.queueNext(std::move(next)) == PlaybackControl::QueueResult::kQueued;
        };
        EXPECT_EQ(play(device), Playback::kFinished);
        EXPECT_TRUE(queued);
        return device.samples;
    };
    const std::vector<int16_t> plain = run(1.0f);
    const std::vector<int16_t> halved = run(0.5f);
    ASSERT_EQ(plain.size(), halved.size());
    const size_t join = 2 * cuts_[1];
    ASSERT_EQ(plain.size(), 2 * cuts_[2]);
    EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + join, halved.begin()));
    size_t wrong = 0;
    for (size_t i = join; i < plain.size(); ++i)
        wrong += halved[i] != static_cast<int16_t>(plain[i] >> 1);
    EXPECT_EQ(wrong, 0u);
}

// Only a song of the stream's format can follow on it; a stop, a pause and a seek drop the one
// queued, as does the end of the playback; a song is queued only while one plays.
TEST_F(SongQueueTest, QueueRulesAndWhatDropsTheQueuedSong) {
    EXPECT_EQ(queue(parts_[1]), PlaybackControl::QueueResult::kNoPlayback);
    std::vector<int16_t> mono(44100, 1000);
    writeWav(dir_ / "mono.wav", 44100, 1, mono);
    encodeMp3(dir_ / "mono.wav", dir_ / "mono.mp3", "-b 128");

    LaggingDevice device(0);
    int blocks = 0;
    device.onWrite = [&](int64_t) {
        switch (++blocks) {
            case 1:
                EXPECT_EQ(queue((dir_ / "mono.mp3").string()),
                          PlaybackControl::QueueResult::kOtherShape);
                EXPECT_FALSE(control_.cancelQueued()) << "nothing was queued";
                EXPECT_EQ(queue(parts_[1]), PlaybackControl::QueueResult::kQueued);
                EXPECT_TRUE(control_.cancelQueued());
                break;
            case 2:
                ASSERT_EQ(queue(parts_[1]), PlaybackControl::QueueResult::kQueued);
                control_.requestSeek(3);
                EXPECT_FALSE(control_.cancelQueued()) << "the seek dropped it";
                break;
            case 3:
                ASSERT_EQ(queue(parts_[1]), PlaybackControl::QueueResult::kQueued);
                control_.requestPause(true);
                control_.requestPause(false);
                EXPECT_FALSE(control_.cancelQueued()) << "the pause dropped it";
                break;
            case 4:
                ASSERT_EQ(queue(parts_[1]), PlaybackControl::QueueResult::kQueued);
                control_.requestStop();
                EXPECT_FALSE(control_.cancelQueued()) << "the stop dropped it";
                break;
            default:
                break;
        }
    };
    ASSERT_EQ(play(device), Playback::kFinished);
    EXPECT_EQ(blocks, 4) << "the stop ended the playback";
    EXPECT_EQ(settings_.songNumber.load(), 0);
    EXPECT_EQ(queue(parts_[1]), PlaybackControl::QueueResult::kNoPlayback);
}

// Queue, cancel, seek and song-number calls from another thread race a playback that takes
// queued songs (the ThreadSanitizer build runs this suite); the playback ends when told.
using SongQueueHardeningTest = SongQueueTest;
TEST_F(SongQueueHardeningTest, QueueCallsRaceARunningPlayback) {
    LaggingDevice device(4096);
    std::atomic<bool> done{false};
    std::thread caller([&] {
        for (int i = 0; !done.load(); ++i) {
            control_.queueNext(SongSource::open(parts_[static_cast<size_t>(i) % 3], 0));
            if (i % 3 == 0) control_.cancelQueued();
            if (i % 7 == 0) control_.requestSeek(i % 40);
            static_cast<void>(settings_.songNumber.load());
            if (i >= 60) control_.requestStop();  // repeated: a stop before the start is ignored
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_EQ(play(device), Playback::kFinished);
    done = true;
    caller.join();
    EXPECT_EQ(device.opens, 1);
}

// The exported calls never throw and say why a song was not queued.
TEST_F(SongQueueTest, ExportedQueueCallsOutsideAPlayback) {
    EXPECT_EQ(OmbrixQueueNext(nullptr, 0), -1);
    EXPECT_EQ(OmbrixQueueNext((dir_ / "missing.mp3").c_str(), 0), -1) << "no first frame";
    EXPECT_EQ(OmbrixQueueNext(parts_[1].c_str(), 0), 0) << "nothing plays";
    EXPECT_EQ(OmbrixCancelNext(), 0);
}

}  // namespace
}  // namespace ombrix::test
