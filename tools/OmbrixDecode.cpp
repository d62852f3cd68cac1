// ombrix-decode: decodes an MPEG audio file to WAV or raw PCM, prints stream information, or
// plays it, through the same playback loop the player uses.
//
// Exit status: 0 success, 1 no MPEG audio frame found (or output failed), 2 sound device busy,
// 64 usage error.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "WavWriter.h"
#include "core/DecoderSettings.h"
#include "core/FrameReader.h"
#include "core/Playback.h"
#include "core/PlaybackControl.h"
#include "mixora.h"
#include "ombrix/probe/MediaProbe.h"
#include "output/CaptureAudioDevice.h"

namespace {

using namespace ombrix::mp3;

constexpr int kExitOk = 0, kExitNoFrame = 1, kExitDeviceBusy = 2, kExitUsage = 64;

enum class Mode { Decode, Info, Play };
enum class SynthesisPath { Float, Mmx, K63D };

struct Options {
    Mode mode = Mode::Decode;
    bool raw = false;
    std::optional<int32_t> offset;
    int32_t volume = 32768;
    SynthesisPath path = SynthesisPath::Float;
    int32_t bufferFrames = 12;
    int32_t latencyMs = kDefaultLatencyMs;
    std::string input;
    std::string output;
};

void printUsage() {
    std::cerr
        << "usage: ombrix-decode [--raw] [--offset BYTES] [--volume N] [--path float|mmx|k63d]\n"
           "                     [--buffer FRAMES] INPUT OUTPUT   (OUTPUT - is standard output)\n"
           "       ombrix-decode --info INPUT\n"
           "       ombrix-decode --play [--latency MS] INPUT\n";
}

bool parseInt(const char* text, long min, long max, int32_t& out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < min || v > max) return false;
    out = static_cast<int32_t>(v);
    return true;
}

std::optional<Options> parseArguments(int argc, char** argv) {
    Options o;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--raw") {
            o.raw = true;
        } else if (arg == "--info") {
            o.mode = Mode::Info;
        } else if (arg == "--play") {
            o.mode = Mode::Play;
        } else if (arg == "--offset") {
            int32_t v = 0;
            const char* t = value();
            if (!t || !parseInt(t, 0, INT32_MAX, v)) return std::nullopt;
            o.offset = v;
        } else if (arg == "--volume") {
            const char* t = value();
            if (!t || !parseInt(t, 0, 1 << 20, o.volume)) return std::nullopt;
        } else if (arg == "--latency") {
            const char* t = value();
            if (!t || !parseInt(t, kMinLatencyMs, kMaxLatencyMs, o.latencyMs)) return std::nullopt;
        } else if (arg == "--buffer") {
            const char* t = value();
            if (!t || !parseInt(t, 1, 1000, o.bufferFrames)) return std::nullopt;
        } else if (arg == "--path") {
            const char* t = value();
            if (!t) return std::nullopt;
            const std::string p = t;
            if (p == "float") {
                o.path = SynthesisPath::Float;
            } else if (p == "mmx") {
                o.path = SynthesisPath::Mmx;
            } else if (p == "k63d") {
                o.path = SynthesisPath::K63D;
            } else {
                return std::nullopt;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return std::nullopt;
        } else {
            positional.push_back(arg);
        }
    }
    const size_t wanted = o.mode == Mode::Decode ? 2 : 1;
    if (positional.size() != wanted) return std::nullopt;
    o.input = positional[0];
    if (wanted == 2) o.output = positional[1];
    return o;
}

// Where the first frame is: the given offset, or what the player's probes find.
int32_t startOffsetOf(const Options& o) {
    if (o.offset) return *o.offset;
    const int64_t found = ombrix::probe::startOffset(std::filesystem::path(o.input));
    return found > 0 && found <= INT32_MAX ? static_cast<int32_t>(found) : 0;
}

void configure(DecoderSettings& settings, const Options& o) {
    // Processor flags first, then the volume: the MMX window is built only while MMX is on.
    settings.enableMmx(o.path == SynthesisPath::Mmx);
    settings.enableK63D(o.path == SynthesisPath::K63D);
    settings.setVolume(o.volume);
    settings.bufferFrames = o.bufferFrames;
    settings.latencyMs = o.latencyMs;
}

int reportNoFrame(const Options& o) {
    std::cerr << "ombrix-decode: no MPEG audio frame found in " << o.input << "\n";
    return kExitNoFrame;
}

const char* modeName(int mode) {
    static const char* const kNames[] = {"stereo", "joint stereo", "dual channel",
                                         "single channel"};
    return kNames[mode & 3];
}

int runInfo(const Options& o) {
    const int32_t offset = startOffsetOf(o);
    FrameReader reader(o.input, offset);
    FrameHeader header;
    if (!reader.readFrame(header)) return reportNoFrame(o);
    const char* layers[] = {"", "I", "II", "III"};
    std::printf("file: %s\n", o.input.c_str());
    std::printf("start offset: %d\n", offset);
    std::printf("version: %s\n", header.id == 1 ? "MPEG-1" : "MPEG-2");
    std::printf("layer: %s\n", layers[header.layer]);
    std::printf("sampling rate: %d Hz\n", header.samplingRate());
    std::printf("mode: %s\n", modeName(header.mode));
    std::printf("bit rate: %d kbit/s\n", header.bitrate() / 1000);
    std::printf("crc: %s\n", header.protectionAbsent ? "no" : "yes");
    if (reader.hasXing()) {
        const XingInfo& x = reader.xing();
        std::printf("xing: flags 0x%X, frames %d, bytes %d, toc %s, quality %d\n", x.flags,
                    x.frames, x.bytes, (x.flags & XingInfo::kToc) ? "yes" : "no", x.quality);
        if (x.gap) {
            const SampleSpan span = reader.songSpan(header);
            std::printf("encoder delay: %d samples, padding: %d samples (%s)\n", x.gap->delay,
                        x.gap->padding, span.trimmed() ? "left out" : "not used");
        }
    } else {
        std::printf("xing: none\n");
    }
    std::printf("total: %d ms\n", static_cast<int32_t>(reader.totalMs(header)));
    return kExitOk;
}

int runDecode(const Options& o) {
    std::optional<ombrix::tools::WavWriter> writer;
    try {
        writer.emplace(o.output, o.raw);
    } catch (const std::exception& e) {
        std::cerr << "ombrix-decode: " << e.what() << "\n";
        return kExitNoFrame;
    }
    DecoderSettings settings;
    configure(settings, o);
    PlaybackControl control;
    bool writeFailed = false;
    CaptureAudioDevice device([&](const PcmFormat& format, const int16_t* samples, size_t count) {
        if (!writer->write(format.channels, format.rate, samples, count) && !writeFailed) {
            writeFailed = true;
            control.requestStop();
        }
    });
    // Decoding to a file shows nothing, so the engine keeps no display data.
    EffectsHooks hooks = EffectsHooks::engine();
    hooks.start = [] {
        XMInit();
        XMEnableVisualization(0);
    };
    Playback playback(settings, control, hooks);
    const Playback::Result result = playback.run(o.input, startOffsetOf(o), &device);
    if (result == Playback::kNoFrame) return reportNoFrame(o);
    if (!writer->finish() || writeFailed) {
        std::cerr << "ombrix-decode: cannot write " << o.output << "\n";
        return kExitNoFrame;
    }
    return kExitOk;
}

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
    interrupted.store(true);
}

std::string clockText(int32_t ms) {
    char text[32];
    const int32_t s = ms / 1000;
    std::snprintf(text, sizeof text, "%d:%02d", s / 60, s % 60);
    return text;
}

int runPlay(const Options& o) {
    DecoderSettings settings;
    configure(settings, o);
    PlaybackControl control;
    const int32_t offset = startOffsetOf(o);
    FrameReader probe(o.input, offset);
    FrameHeader header;
    const int32_t totalMs =
        probe.readFrame(header) ? static_cast<int32_t>(probe.totalMs(header)) : 0;

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    std::atomic<bool> done{false};
    std::thread progress([&] {
        while (!done.load()) {
            if (interrupted.load()) control.requestStop();
            // What is heard, not what is decoded (the device holds up to its latency target).
            const double heardMs = control.active ? control.heardFrame(settings) *
                                                        double{settings.msPerFrameNow.load()}
                                                  : 0.0;
            std::fprintf(stderr, "\r%s / %s ", clockText(static_cast<int32_t>(heardMs)).c_str(),
                         clockText(totalMs).c_str());
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    auto device = createSoundDevice(-1, settings.latencyMs.load());
    Playback playback(settings, control);
    const Playback::Result result = playback.run(o.input, offset, device.get());
    done = true;
    progress.join();
    std::fprintf(stderr, "\n");
    if (result == Playback::kNoFrame) return reportNoFrame(o);
    if (result == Playback::kDeviceFailed) {
        std::cerr << "ombrix-decode: sound device is busy\n";
        return kExitDeviceBusy;
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    const std::optional<Options> options = parseArguments(argc, argv);
    if (!options) {
        printUsage();
        return kExitUsage;
    }
    try {
        switch (options->mode) {
            case Mode::Info:
                return runInfo(*options);
            case Mode::Play:
                return runPlay(*options);
            case Mode::Decode:
                return runDecode(*options);
        }
    } catch (const std::exception& e) {
        std::cerr << "ombrix-decode: " << e.what() << "\n";
    }
    return kExitNoFrame;
}
