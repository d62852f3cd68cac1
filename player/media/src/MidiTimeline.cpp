#include "ombrix/media/MidiTimeline.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "ombrix/media/MediaControl.h"

namespace ombrix {
namespace {

constexpr int64_t kDefaultUsPerQuarter = 500000;  // 120 beats a minute
// Where a damaged file could make the work unbounded: events a file may hold.
constexpr int64_t kMaxEvents = 20'000'000;

uint32_t be32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

uint16_t be16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint16_t(b[0] << 8 | b[1]);
}

uint32_t le32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0];
}

[[noreturn]] void notMidi() {
    throw MediaError("not a standard midi file");
}

// The "data" chunk of a RIFF RMID file, or the bytes as they are.
QByteArray unwrapRmid(const QByteArray& bytes) {
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "RMID") return bytes;
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const qsizetype size = le32(bytes.constData() + at + 4);
        if (bytes.mid(at, 4) == "data") return bytes.mid(at + 8, size);
        at += 8 + size + (size & 1);
    }
    notMidi();
}

// Reads the events of one track, collecting tempo changes; returns the tick of its last event.
class TrackReader {
public:
    TrackReader(const char* data, qsizetype size) : p_(data), end_(data + size) {}

    int64_t read(std::vector<std::pair<int64_t, int64_t>>& tempos, int64_t& budget) {
        int64_t tick = 0;
        unsigned char running = 0;
        while (p_ < end_) {
            if (--budget < 0) notMidi();
            const int64_t delta = varLength();
            if (delta < 0) break;
            tick += delta;
            if (p_ >= end_) break;
            unsigned char status = static_cast<unsigned char>(*p_);
            if (status & 0x80) {
                ++p_;
            } else if (running) {
                status = running;  // running status: the byte is data
            } else {
                break;
            }
            if (status == 0xFF) {
                if (p_ >= end_) break;
                const unsigned char type = static_cast<unsigned char>(*p_++);
                const int64_t len = varLength();
                if (len < 0 || len > end_ - p_) break;
                if (type == 0x51 && len == 3) {
                    const auto* b = reinterpret_cast<const unsigned char*>(p_);
                    const int64_t usPerQuarter = int64_t(b[0]) << 16 | int64_t(b[1]) << 8 | b[2];
                    if (usPerQuarter > 0) tempos.emplace_back(tick, usPerQuarter);
                }
                p_ += len;
                if (type == 0x2F) return tick;  // end of track
            } else if (status == 0xF0 || status == 0xF7) {
                const int64_t len = varLength();
                if (len < 0 || len > end_ - p_) break;
                p_ += len;
                running = 0;
            } else if (status >= 0x80 && status < 0xF0) {
                running = status;
                const int bytes = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
                if (bytes > end_ - p_) break;
                p_ += bytes;
            } else {
                break;  // system common messages do not occur in files
            }
        }
        return tick;
    }

private:
    // A variable-length quantity of at most four bytes; -1 when the data ends or it is longer.
    int64_t varLength() {
        int64_t v = 0;
        for (int i = 0; i < 4; ++i) {
            if (p_ >= end_) return -1;
            const unsigned char b = static_cast<unsigned char>(*p_++);
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80)) return v;
        }
        return -1;
    }

    const char* p_;
    const char* end_;
};

}  // namespace

MidiTimeline MidiTimeline::parse(const QByteArray& bytes) {
    MidiTimeline t;
    t.smf_ = unwrapRmid(bytes);
    const QByteArray& smf = t.smf_;
    if (smf.size() < 14 || !smf.startsWith("MThd") || be32(smf.constData() + 4) < 6) notMidi();
    const qsizetype headerEnd = 8 + qsizetype(be32(smf.constData() + 4));
    const int tracks = be16(smf.constData() + 10);
    const uint16_t division = be16(smf.constData() + 12);
    if (tracks == 0 || division == 0 || headerEnd > smf.size()) notMidi();

    // Ticks a quarter note, or a fixed rate for time-code divisions.
    double smpteUsPerTick = 0;
    if (division & 0x8000) {
        const int fps = -static_cast<int8_t>(division >> 8);
        const int perFrame = division & 0xFF;
        if (fps <= 0 || perFrame == 0) notMidi();
        const double rate = fps == 29 ? 29.97 : fps;
        smpteUsPerTick = 1e6 / (rate * perFrame);
    }

    std::vector<std::pair<int64_t, int64_t>> tempos;  // tick, microseconds a quarter note
    int64_t budget = kMaxEvents;
    qsizetype at = headerEnd;
    int found = 0;
    while (found < tracks && at + 8 <= smf.size()) {
        const qsizetype size = be32(smf.constData() + at + 4);
        const qsizetype available = std::min<qsizetype>(size, smf.size() - at - 8);
        if (smf.mid(at, 4) == "MTrk") {
            ++found;
            TrackReader reader(smf.constData() + at + 8, available);
            t.endTick_ = std::max(t.endTick_, reader.read(tempos, budget));
        }
        at += 8 + available;
    }
    if (found == 0) notMidi();

    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const auto usPerTick = [&](int64_t usPerQuarter) {
        return smpteUsPerTick > 0 ? smpteUsPerTick : double(usPerQuarter) / division;
    };
    t.tempo_.push_back({0, 0, usPerTick(kDefaultUsPerQuarter)});
    for (const auto& [tick, usPerQuarter] : tempos) {
        const Tempo& last = t.tempo_.back();
        const int64_t us = last.us + std::llround(double(tick - last.tick) * last.usPerTick);
        if (tick == last.tick) t.tempo_.pop_back();
        t.tempo_.push_back({tick, us, usPerTick(usPerQuarter)});
    }
    return t;
}

int64_t MidiTimeline::usAt(int64_t tick) const noexcept {
    tick = std::max<int64_t>(tick, 0);
    auto it = std::upper_bound(tempo_.begin(), tempo_.end(), tick,
                               [](int64_t v, const Tempo& t) { return v < t.tick; });
    const Tempo& t = *std::prev(it);
    return t.us + std::llround(double(tick - t.tick) * t.usPerTick);
}

int64_t MidiTimeline::tickAt(int64_t us) const noexcept {
    us = std::max<int64_t>(us, 0);
    auto it = std::upper_bound(tempo_.begin(), tempo_.end(), us,
                               [](int64_t v, const Tempo& t) { return v < t.us; });
    const Tempo& t = *std::prev(it);
    // A hair above the exact quotient, so that the time of a tick gives that tick back.
    return t.tick + static_cast<int64_t>(std::floor(double(us - t.us) / t.usPerTick + 1e-6));
}

}  // namespace ombrix
