#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "DecodeSupport.h"
#include "core/DecoderSettings.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"
#include "mixora.h"
#include "output/AudioDevice.h"

namespace ombrix::test {
namespace {

using mp3::AudioDevice;
using mp3::DecoderSettings;
using mp3::EffectsHooks;
using mp3::PcmFormat;
using mp3::Playback;
using mp3::PlaybackControl;

// A device with a latency target whose clock the test drives: written blocks wait in a queue,
// move into a server buffer of `bufferFrames`, and are heard only when the test advances the
// clock. The playback thread blocks on it like on a real device.
class ClockedDevice final : public AudioDevice {
public:
    explicit ClockedDevice(int64_t bufferFrames) : capacity_(bufferFrames) {}

    bool open(const PcmFormat& f) override {
        channels_ = f.channels;
        return true;
    }
    void write(uint64_t id, const int16_t* samples, size_t count) override {
        std::lock_guard lock(m_);
        stream_.insert(stream_.end(), samples, samples + count);
        pending_.push_back({id, static_cast<int64_t>(count) / channels_});
        pumpLocked();
    }
    bool stillPlaying(uint64_t id) override {
        std::lock_guard lock(m_);
        return pendingLocked(id);
    }
    void waitUntilPlayed(uint64_t id, const std::atomic<bool>* abandon, int) override {
        std::unique_lock lock(m_);
        // Blocked again each time the wait goes on, so that the test sees every stop here.
        while (!(!pendingLocked(id) || woken_ || (abandon && abandon->load()))) {
            blocked_ = true;
            cv_.notify_all();
            cv_.wait(lock);
        }
        blocked_ = false;
        woken_ = false;
    }
    void wake() noexcept override {
        std::lock_guard lock(m_);
        woken_ = true;
        cv_.notify_all();
    }
    int maxBlockFrames() const noexcept override { return 2 * 1152; }
    int64_t unheardFrames() noexcept override {
        std::lock_guard lock(m_);
        return queuedLocked() + buffered_;
    }
    void drain(const std::atomic<bool>* abandon) override {
        std::unique_lock lock(m_);
        drained_ = true;
        while (!((pending_.empty() && buffered_ == 0) || (abandon && abandon->load()))) {
            blocked_ = true;
            cv_.notify_all();
            cv_.wait(lock);
        }
        blocked_ = false;
    }
    void reset() override {
        std::lock_guard lock(m_);
        pending_.clear();
        buffered_ = 0;
        ++resets_;
    }
    // Like a sound server's queue: what the "sink" has not taken beyond the margin goes.
    int64_t dropUnplayed(int64_t margin) override {
        std::lock_guard lock(m_);
        const int64_t kept = std::min(buffered_, margin);
        const int64_t dropped = queuedLocked() + buffered_ - kept;
        pending_.clear();
        buffered_ = kept;
        stream_.resize(stream_.size() - static_cast<size_t>(dropped * channels_));
        keptAtDrop_ = played_ + kept;
        ++drops_;
        blocked_ = false;
        return dropped;
    }
    int32_t pause() override { return setPaused(true); }
    int32_t restart() override { return setPaused(false); }
    void setPitch(uint32_t) override {}
    void close() override {}

    // The test's side.
    void advance(int64_t frames) {
        std::lock_guard lock(m_);
        if (paused_) return;  // a paused device holds its queue
        const int64_t n = std::min(frames, buffered_);
        buffered_ -= n;
        played_ += n;
        const size_t before = pending_.size();
        pumpLocked();
        // The playback thread is released when something moved; waitUntilBlocked then waits
        // for it to block again.
        if (n > 0 || pending_.size() != before) blocked_ = false;
        cv_.notify_all();
    }
    // Waits until the playback thread blocks on the device again (or `done` is set).
    void waitUntilBlocked(const std::atomic<bool>& done) {
        std::unique_lock lock(m_);
        cv_.wait_for(lock, std::chrono::seconds(20), [&] { return blocked_ || done.load(); });
    }
    void notifyDone() {
        std::lock_guard lock(m_);
        cv_.notify_all();
    }
    template <typename T>
    T read(const T& field) {
        std::lock_guard lock(m_);
        return field;
    }
    int64_t played() { return read(played_); }
    int resets() { return read(resets_); }
    int drops() { return read(drops_); }
    int64_t keptAtDrop() { return read(keptAtDrop_); }
    std::vector<int16_t> stream() { return read(stream_); }
    bool drained() { return read(drained_); }

private:
    struct Block {
        uint64_t id;
        int64_t frames;
    };
    int32_t setPaused(bool paused) {
        std::lock_guard lock(m_);
        paused_ = paused;
        return 0;
    }
    void pumpLocked() {
        while (!pending_.empty() && buffered_ + pending_.front().frames <= capacity_) {
            buffered_ += pending_.front().frames;
            pending_.pop_front();
        }
    }
    bool pendingLocked(uint64_t id) const {
        for (const Block& b : pending_)
            if (b.id == id) return true;
        return false;
    }
    int64_t queuedLocked() const {
        int64_t n = 0;
        for (const Block& b : pending_) n += b.frames;
        return n;
    }

    std::mutex m_;
    std::condition_variable cv_;
    int channels_ = 2;
    int64_t capacity_;
    std::deque<Block> pending_;
    int64_t buffered_ = 0;
    int64_t played_ = 0;
    bool blocked_ = false;
    bool woken_ = false;
    bool paused_ = false;
    bool drained_ = false;
    int resets_ = 0;
    int drops_ = 0;
    int64_t keptAtDrop_ = 0;
    std::vector<int16_t> stream_;  // everything written, in the order it is heard
};

// One second of silence, then two of a loud sine.
std::filesystem::path quietThenLoud(const TempDir& dir) {
    const int rate = 44100;
    std::vector<int16_t> pcm(static_cast<size_t>(3 * rate) * 2, 0);
    for (int i = rate; i < 3 * rate; ++i)
        pcm[2 * i] = pcm[2 * i + 1] =
            static_cast<int16_t>(26000 * std::sin(2 * M_PI * 440.0 * i / rate));
    const auto wav = dir / "ql.wav";
    writeWav(wav, rate, 2, pcm);
    const auto mp3 = dir / "ql.mp3";
    encodeMp3(wav, mp3, "-b 128 -t");  // no Xing frame: frame 0 is the first audio
    return mp3;
}

class HeardPositionTest : public ::testing::Test {
protected:
    HeardPositionTest() {
        settings_.setVolume(32768);
        settings_.bufferFrames = 12;
        XMEnableVisualization(20);
    }
    void start(const std::filesystem::path& song) {
        thread_ = std::thread([this, song] {
            Playback playback(settings_, control_);
            result_ = playback.run(song.string(), 0, &device_);
            done_ = true;
            device_.notifyDone();
        });
        device_.waitUntilBlocked(done_);
    }
    // Plays `frames` and waits until the playback has refilled the device.
    void play(int64_t frames) {
        device_.advance(frames);
        device_.waitUntilBlocked(done_);
    }
    int32_t heard() { return control_.heardFrame(settings_); }
    int64_t decodedPcm() { return settings_.handedOverFrames.load(); }
    void TearDown() override {
        if (thread_.joinable()) {
            control_.requestStop();
            thread_.join();
        }
    }

    TempDir dir_;
    DecoderSettings settings_;
    PlaybackControl control_;
    ClockedDevice device_{22050};  // half a second in the "server"
    std::thread thread_;
    std::atomic<bool> done_{false};
    std::atomic<int> result_{99};
};

}  // namespace

// The position, the levels and the spectrum are those of what the device has played, which lags
// what was decoded by exactly what it holds.
TEST_F(HeardPositionTest, PositionAndLevelsFollowWhatIsHeard) {
    start(quietThenLoud(dir_));
    int64_t total = 0;
    bool sawLoudDecodedWhileQuietHeard = false;
    while (total < 44100 * 2) {
        play(4410);  // 100 ms of the device's clock
        total += 4410;
        const int64_t unheard = device_.unheardFrames();
        // Exactly: what was handed over less what the device still holds.
        EXPECT_EQ(decodedPcm() - unheard, device_.played());
        EXPECT_EQ(heard(), device_.played() / 1152);
        EXPECT_GT(unheard, 20000);  // the decoder really runs ahead
        float l = 0, r = 0;
        std::vector<uint8_t> spectrum(2 * 576);
        XMGetVisualization(&l, &r, nullptr, spectrum.data());
        const double heardSeconds = device_.played() / 44100.0;
        const double decodedSeconds = decodedPcm() / 44100.0;
        if (heardSeconds < 0.85) {
            // Quiet is heard although loud audio is decoded already.
            EXPECT_EQ(l, 0.0f) << heardSeconds;
            EXPECT_EQ(*std::max_element(spectrum.begin(), spectrum.end()), 0) << heardSeconds;
            if (decodedSeconds > 1.2) sawLoudDecodedWhileQuietHeard = true;
        } else if (heardSeconds > 1.2) {
            EXPECT_GT(l, 20000.0f * 256) << heardSeconds;
            EXPECT_GT(*std::max_element(spectrum.begin(), spectrum.end()), 100) << heardSeconds;
        }
    }
    EXPECT_TRUE(sawLoudDecodedWhileQuietHeard);
}

// A seek reports its target at once and drops what the device held; a pause holds the queue and
// the position; a stop drops everything and ends the playback without waiting for the device.
TEST_F(HeardPositionTest, SeekPauseAndStopActOnWhatIsHeard) {
    start(quietThenLoud(dir_));
    for (int i = 0; i < 10; ++i) play(4410);
    ASSERT_EQ(device_.played(), 44100);
    ASSERT_EQ(heard(), 44100 / 1152);

    control_.requestSeek(20);
    EXPECT_EQ(heard(), 20);  // before the playback has served it
    const int resets = device_.resets();
    device_.waitUntilBlocked(done_);
    // A real device plays on, so a wait that used up the seek's wake-up ends anyway; this one
    // plays nothing here, so the wake-up is repeated until the seek is served.
    while (device_.resets() == resets) {
        device_.wake();
        play(0);
    }
    EXPECT_EQ(heard(), 20);  // served: nothing of the new segment has been heard yet
    // The device was emptied: ten frames can be played once the playback has refilled it.
    for (int i = 0; i < 20000 && device_.unheardFrames() < 1152 * 10; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    play(1152 * 10);
    EXPECT_EQ(heard(), 30);

    control_.requestPause(true);
    const int64_t held = device_.unheardFrames();
    device_.advance(44100);
    EXPECT_EQ(heard(), 30);
    EXPECT_EQ(device_.unheardFrames(), held);
    control_.requestPause(false);
    play(1152 * 5);
    EXPECT_EQ(heard(), 35);

    const int before = device_.resets();
    control_.requestStop();
    thread_.join();
    EXPECT_EQ(result_.load(), Playback::kFinished);
    EXPECT_GT(device_.resets(), before);
    EXPECT_FALSE(device_.drained());
    EXPECT_EQ(device_.unheardFrames(), 0);
}

// A change of the equaliser goes back over the queue: the device keeps what it has taken and a
// short margin, the rest is decoded again with the change, and the two join without a sample
// lost or repeated.
TEST_F(HeardPositionTest, AnEqualiserChangeRewritesWhatIsQueuedBeyondAMargin) {
    const auto song = quietThenLoud(dir_);
    const DecodedPcm plain = decodeFile(song.string());
    DecodeOptions quieterOptions;
    quieterOptions.eqEnabled = true;
    quieterOptions.eqGain = 0.5f;
    const DecodedPcm quieter = decodeFile(song.string(), quieterOptions);
    ASSERT_EQ(plain.samples.size(), quieter.samples.size());

    start(song);
    for (int i = 0; i < 14; ++i) play(4410);  // 1.4 s heard, about half a second queued
    const int64_t queued = device_.unheardFrames();
    for (auto& gain : settings_.eqGains) gain = 0.5f;
    settings_.eqEnabled = 1;
    control_.requestRefresh();
    while (device_.drops() == 0 && !done_) {
        device_.wake();
        play(0);
    }
    const int64_t margin = 44100 * Playback::kRefreshMarginMs / 1000;
    const int64_t cut = device_.keptAtDrop();
    EXPECT_EQ(cut, 14 * 4410 + margin);
    EXPECT_EQ(heard(), 14 * 4410 / 1152);  // the position does not move
    while (!done_) play(4410);
    thread_.join();

    const std::vector<int16_t> heardPcm = device_.stream();
    ASSERT_EQ(heardPcm.size(), plain.samples.size());
    const auto at = static_cast<std::ptrdiff_t>(cut * 2);
    EXPECT_TRUE(std::equal(heardPcm.begin(), heardPcm.begin() + at, plain.samples.begin()));
    EXPECT_TRUE(std::equal(heardPcm.begin() + at, heardPcm.end(), quieter.samples.begin() + at));
    EXPECT_GT(queued, 20000);  // without the rewrite the change would have come that much later
}

}  // namespace ombrix::test
